// Test samples with guard frames and a steady voice for the mixer tests.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "audio/mixer.h"

namespace korvanthe {

constexpr uint32_t FrameFraction = 0xFFFFFFFFu; // largest fraction of a frame

// A sample with its guard frames, kept at a fixed address for the voices.
class TestSample {
  public:
    TestSample(std::vector<int16_t> frames, uint8_t loopType, uint32_t loopStart,
               uint32_t loopLength)
        : frames_(std::move(frames)) {
        const auto length = static_cast<uint32_t>(frames_.size());
        frames_.resize(length + SampleGuardFrames, 0);
        sample_.length = length;
        sample_.loopType = loopType;
        sample_.loopStart = loopType == LoopNone ? 0 : loopStart;
        sample_.loopLength = loopType == LoopNone ? length : loopLength;
        const uint32_t loopEnd = sample_.loopStart + sample_.loopLength;
        if (loopType == LoopForward) {
            frames_[loopEnd] = frames_[loopStart];
        } else if (loopType == LoopPingPong) {
            frames_[loopEnd] = frames_[loopEnd - 1];
        }
        sample_.data = frames_.data();
        sample_.bitsPerSample = 16;
    }
    TestSample(const TestSample&) = delete;
    TestSample& operator=(const TestSample&) = delete;
    const Sample* get() const { return &sample_; }

  private:
    std::vector<int16_t> frames_;
    Sample sample_{};
};

inline std::vector<int16_t> rampData(int frames, int perFrame) {
    std::vector<int16_t> data(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        data[static_cast<size_t>(i)] = static_cast<int16_t>(i * perFrame);
    }
    return data;
}

// Voice 0 playing `sample` at full volume on both sides with no ramp.
inline Voice& steadyVoice(const TestSample& sample, uint32_t stepInt = 1, uint32_t stepFrac = 0) {
    resetVoices(44100);
    Voice& voice = voices[0];
    voice.sample = sample.get();
    voice.direction = 1;
    voice.stepInt = static_cast<int32_t>(stepInt);
    voice.stepFrac = stepFrac;
    voice.volume = 255;
    voice.volumeLeft = voice.volumeRight = 255;
    voice.rampTargetLeft = voice.rampTargetRight = 255;
    voice.levelLeft = voice.levelRight = 255 << 8;
    return voice;
}

inline std::vector<float> mix(int32_t frames) {
    std::vector<float> buffer(static_cast<size_t>(frames) * 2 + 2, 0.0f);
    mixVoices(buffer.data(), frames);
    return buffer;
}

} // namespace korvanthe
