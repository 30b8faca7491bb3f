#include "audio/output_settings.h"

namespace korvanthe {

OutputSettings outputSettings{};

int32_t blockFramesAt(int32_t sampleRate) {
    // 20 ms in whole frames, rounded up to a multiple of 4.
    return ((sampleRate * 20 / 1000) + 3) & ~3;
}

void configureOutput(int32_t sampleRate) {
    if (sampleRate < 1 || sampleRate > HighestSampleRate) {
        outputSettings = OutputSettings{}; // nothing can render without a rate
        return;
    }
    outputSettings.sampleRate = sampleRate;
    outputSettings.secondsPerFrame = 1.0f / static_cast<float>(sampleRate);
    outputSettings.blockFrames = blockFramesAt(sampleRate);
    outputSettings.ringFrames = (BufferMilliseconds / 20) * outputSettings.blockFrames * 2;
}

} // namespace korvanthe
