// Output geometry fixed when the device opens (or an offline render starts):
// the rate, the block and ring lengths. Read by the tempo, the block renderer
// and the streaming code.
#pragma once

#include <cstdint>

namespace korvanthe {

struct OutputSettings {
    int32_t sampleRate;    // output frames per second
    float secondsPerFrame; // 1 / sampleRate in single precision
    int32_t blockFrames;   // ~20 ms, a multiple of 4 frames
    int32_t ringFrames;    // 100 blocks, ~2 s
};

constexpr int32_t BufferMilliseconds = 1000;
constexpr int32_t HighestSampleRate = 1000000;

extern OutputSettings outputSettings;

// Fixes the settings for a rate: at 44100 Hz 884 frames a block and 88400 a ring.
// A rate outside 1..HighestSampleRate clears them all to 0, which the block
// renderer refuses.
void configureOutput(int32_t sampleRate);

// The blockFrames that configureOutput(sampleRate) sets, changing nothing.
int32_t blockFramesAt(int32_t sampleRate);

// Blocks in the ring (100).
inline int32_t blockCount() {
    return outputSettings.blockFrames > 0 ? outputSettings.ringFrames / outputSettings.blockFrames
                                          : 0;
}

} // namespace korvanthe
