// Per-track playback state of the replayer and its clock setting.
// Used only on the thread that renders blocks.
#pragma once

#include <cstdint>

#include "audio/mixer.h"
#include "module/module.h"

namespace korvanthe {

// Channel::updateFlags bits: what updateVoice applies at the end of a
// channel's processing.
enum : uint8_t {
    UpdateFrequency = 0x01,
    UpdateVolume = 0x02,
    UpdatePanning = 0x04,
    UpdateTrigger = 0x08,
    UpdateStop = 0x20,
};

struct EnvelopeState {
    int32_t tick;       // position in ticks
    int32_t nextPoint;  // point the current segment runs to
    int32_t valueFixed; // 16.16
    int32_t value;      // integer value (panning: 32 = no change)
    int32_t slope;      // 16.16 change per tick
    bool finished;      // last point reached; no longer stepped
};

struct Channel {
    uint8_t noteIndex; // last pattern note, 0-based (0..95)
    uint8_t updateFlags;
    // Voice i for channel i, bound at song start. The pointer alone: the
    // voice's number is the channel's, so a separate index would only repeat it.
    Voice* voice;
    int32_t period; // units of the module's frequency table
    int32_t volume;
    int32_t panning;     // may leave 0..255 through slides; clamped when applied
    int32_t volumeDelta; // tremolo/tremor offset of this tick
    int32_t periodDelta; // vibrato/arpeggio/autovibrato offset of this tick
    EnvelopeState volumeEnvelope;
    EnvelopeState panningEnvelope;
    int32_t fadeoutVolume; // 0..65536
    int32_t autoVibratoPos;
    int32_t autoVibratoSweep;
    bool keyOff;
    uint8_t instrumentIndex; // 0-based
    uint8_t realNote;        // note + relativeNote - 1, wraps as a byte
    int32_t notePeriod;
    uint8_t lastEffect;
    int32_t sampleOffsetMemory;
    uint8_t portaDownMemory;
    uint8_t portaUpMemory;
    uint8_t extraFinePortaDownMemory;
    uint8_t extraFinePortaUpMemory;
    uint8_t volumeSlideMemory;
    uint8_t panningSlideMemory;
    uint8_t retrigVolumeCode;
    uint8_t retrigInterval;
    int32_t portaTargetPeriod;
    uint8_t tonePortaSpeed;
    int8_t vibratoPos; // -32..31
    uint8_t vibratoSpeed;
    uint8_t vibratoDepth;
    int8_t tremoloPos; // -32..31
    uint8_t tremoloSpeed;
    uint8_t tremoloDepth;
    uint8_t tremorCounter;
    uint8_t tremorOnTicks;
    uint8_t tremorOffTicks;
    int32_t loopStartRow;
    int32_t loopCount;
    uint8_t waveControl; // low nibble vibrato waveform, high nibble tremolo
    uint8_t fineVolumeSlideMemory;
    uint8_t finePortaUpMemory;
    uint8_t finePortaDownMemory;
};

extern Channel channels[MaxChannels];

// Stores bpm and recomputes samplesPerTick for the output rate.
void setTempo(Module* module, int32_t bpm);

// Song start: resets the play-state fields, sets the tempo and clears the
// first channelCount channels, binding channel i to voice i. Shared by live
// playback and offline rendering.
void startSong(Module* module);

} // namespace korvanthe
