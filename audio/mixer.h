// The software mixer: resamples the playing voices with linear interpolation
// into a stereo float mix buffer, and clips finished stretches to 16-bit PCM.
//
// Not reentrant: runs on the one thread that renders blocks. The replayer
// writes voices between mixer calls on that same thread.
//
// The code paths give the same floats (scalar, SSE2, AVX2, AVX-512; wasm
// SIMD in the browser; chosen at run time, audio/mixer_path.h); audio/mixer_frame.h holds the per-frame
// arithmetic they share.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace korvanthe {

constexpr int VoiceCount = 256; // voices in the table
constexpr int MixedVoices = 32; // only voices 0..31 are mixed

struct Voice {
    int32_t volume;       // final volume; 255 = full gain scale
    int32_t panning;      // 0..255
    int32_t startOffset;  // frame the next trigger starts at; consumed by it
    const Sample* sample; // null: silent and skipped. Not owned
    int32_t volumeLeft;   // 255 = full gain
    int32_t volumeRight;
    int32_t positionInt;   // 32.32 position: whole frames
    uint32_t positionFrac; //                  fraction, 2^-32 frame
    uint32_t stepFrac;     // 32.32 step per output frame: fraction
    int32_t stepInt;       //                              whole frames
    int32_t direction;     // 1 forward; anything else backward
    int32_t rampTargetLeft;
    int32_t rampTargetRight;
    int32_t levelLeft; // gain reached, volume with 8 fraction bits (0..65280)
    int32_t levelRight;
    float rampStepLeft; // gain change per frame; gain 1.0 is volume 255
    float rampStepRight;
    int32_t rampFramesLeft; // 0: no ramp running
};

extern Voice voices[VoiceCount];

// Derived from the output rate by resetVoices.
struct MixerSettings {
    int32_t rampFrames;      // length of every volume ramp: rate x 128 / 44100 (128 at 44100 Hz)
    float rampFramesInverse; // 1 / rampFrames in single precision
};

extern MixerSettings mixerSettings;

// Clears every voice, sets every step to 1 frame and derives the ramp length
// from the output rate (at least one frame).
void resetVoices(int32_t sampleRate);

// Adds voices 0..31 into frameCount interleaved stereo float frames at buffer
// (which the caller has cleared), advancing their positions, loops and ramps;
// a voice whose unlooped sample ends gets a null sample and position 0.
// Does nothing for frameCount < 1 or a null buffer. Allocates nothing.
void mixVoices(float* buffer, int32_t frameCount);

// Moves voices 0..31 on by frameCount frames exactly as mixVoices would
// (positions, directions, loops, the ends of unlooped samples, ramps and the
// levels they reach) without mixing them: what a replay of the song that is
// not heard needs, at a fraction of the cost. Does nothing for
// frameCount < 1. Allocates nothing.
void advanceVoices(int32_t frameCount);

// Rounds (ties to even), clamps and stores 2 x frameCount samples.
// Does nothing for frameCount < 1 or a null pointer.
void clipToPcm16(int16_t* output, const float* buffer, int32_t frameCount);

// clipToPcm16, and every float it read set to 0 in the same pass: the mix
// buffer is then clear for the next block without a pass of its own.
void clipToPcm16AndClear(int16_t* output, float* buffer, int32_t frameCount);

} // namespace korvanthe
