// The in-memory song: what an XM file declares, decoded into the form the
// replayer and mixer work on, plus the song's play position and timing.
//
// Every record is allocated zero-filled and the code relies on fields being
// zero until set. The Module owns everything loaded into it; only freeModule
// releases it.
#pragma once

#include <cstdint>

namespace korvanthe {

struct Module;

// Loop types of a Sample. A loopType of 0 (emptySample) plays like LoopNone.
enum : uint8_t { LoopNone = 1, LoopForward = 2, LoopPingPong = 4 };

// Envelope flag bits of an Instrument.
enum : uint8_t { EnvelopeOn = 1, EnvelopeSustain = 2, EnvelopeLoop = 4 };

// Module::flags bit 0: linear frequency table (clear: Amiga periods).
enum : uint16_t { ModuleLinearFrequencies = 1 };

// Pattern cell note value for a key-off (the file's note 97).
constexpr uint8_t KeyOffNote = 255;

constexpr int MaxChannels = 32;
// Most XM instruments hold at most 16 samples; files from some trackers hold
// up to 32, and independent players load that many.
constexpr int MaxSamplesPerInstrument = 32;
constexpr int ClassicSamplesPerInstrument = 16;
constexpr int MaxEnvelopePoints = 12;
constexpr int KeymapNotes = 96;
constexpr int OrderTableSize = 256;
// Zero frames after every sample's data; the frame at the loop end is one of
// them (or a copy of a loop frame) so the interpolation never reads outside.
constexpr int SampleGuardFrames = 8;

struct EnvelopePoint {
    uint16_t tick;  // position in ticks from the envelope's start
    uint16_t value; // 0..64 in XM files
};

// View over one of an instrument's two envelopes (volume or panning), which
// the instrument stores interleaved as the file does.
struct Envelope {
    const EnvelopePoint* points;
    uint8_t pointCount;
    uint8_t sustainPoint;
    uint8_t loopStart;
    uint8_t loopEnd;
    uint8_t flags;
};

struct Sample {
    int16_t* data;         // length frames + SampleGuardFrames; null when length is 0
    uint32_t length;       // frames
    uint32_t loopStart;    // first loop frame; 0 when unlooped
    uint32_t loopLength;   // frames in the loop; == length when unlooped
    uint8_t volume;        // 0..64
    int8_t finetune;       // 1/128 semitone; E5x overwrites it during play
    int32_t panning;       // 0..255
    uint8_t bitsPerSample; // 8 or 16 as stored; 16 once loaded
    uint8_t loopType;      // LoopNone, LoopForward, LoopPingPong
    int8_t relativeNote;   // semitones added to the played note
    int8_t loadedFinetune; // finetune as loaded: the song start puts it back
};

struct Instrument {
    int32_t sampleCount;                      // 0..MaxSamplesPerInstrument
    Sample* samples[MaxSamplesPerInstrument]; // past sampleCount: &emptySample
    uint8_t keymap[KeymapNotes]; // note-1 -> sample; >= MaxSamplesPerInstrument selects emptySample
    EnvelopePoint volumeEnvelopePoints[MaxEnvelopePoints];
    EnvelopePoint panningEnvelopePoints[MaxEnvelopePoints];
    uint8_t volumePointCount;
    uint8_t panningPointCount;
    uint8_t volumeSustainPoint;
    uint8_t volumeLoopStart;
    uint8_t volumeLoopEnd;
    uint8_t panningSustainPoint;
    uint8_t panningLoopStart;
    uint8_t panningLoopEnd;
    uint8_t volumeEnvelopeFlags;  // 0 whenever volumePointCount < 2
    uint8_t panningEnvelopeFlags; // 0 whenever panningPointCount < 2
    uint8_t vibratoType;          // 0 sine, 1 square, 2 and 3 ramps
    uint8_t vibratoSweep;
    uint8_t vibratoDepth;
    uint8_t vibratoRate;
    uint16_t fadeout; // taken from the fade volume per tick after key-off: twice the file's value
};

// Five bytes, stored back to back.
struct PatternCell {
    uint8_t note;       // 0 none, 1..96 note, KeyOffNote key-off
    uint8_t instrument; // 0 none, 1..128
    uint8_t volume;     // volume-column byte as stored
    uint8_t effect;     // XM effect number 0..35
    uint8_t parameter;
};
static_assert(sizeof(PatternCell) == 5, "cells are five bytes back to back");

struct Pattern {
    int32_t rowCount;   // 64 for a pattern the loader made up
    PatternCell* cells; // rowCount x channelCount, row by row
};

using TickHandler = void (*)(Module*);

struct Module {
    Pattern* patterns;       // patternSlotCount entries
    Instrument* instruments; // instrumentCount entries
    int32_t samplesToTick;   // output frames still to mix before the next tick
    int32_t samplesPerTick;  // output frames per tick at the current BPM
    int16_t songLength;
    int16_t restartPosition;
    int16_t channelCount; // at most MaxChannels
    int32_t usedPatternCount;
    int32_t patternSlotCount;
    int16_t instrumentCount;
    uint16_t flags; // ModuleLinearFrequencies
    int16_t defaultSpeed;
    int16_t defaultBpm;
    uint8_t orderTable[OrderTableSize];
    uint8_t initialGlobalVolume; // always 64
    int32_t globalVolume;        // 0..64
    uint8_t globalVolumeSlide;   // last nonzero Hxy parameter
    int32_t tick;
    int32_t speed;
    int32_t bpm;
    int32_t row;
    int32_t order;
    int32_t patternDelayTicks;
    int32_t nextRow;   // -1 for none
    int32_t nextOrder; // -1 for none
    int32_t elapsedMs; // song time summed over every mixed run of frames
    TickHandler tickHandler;
};

// Shared all-zero records; live as long as the program and are never freed.
extern Sample emptySample;
extern Instrument emptyInstrument;

// Releases a Module and everything it owns, in any state of loading.
// Waits until no block is being rendered, and stops playback first when it
// is this module that plays (another song plays on).
// First thread only. Returns false for null.
bool freeModule(Module* module);

} // namespace korvanthe
