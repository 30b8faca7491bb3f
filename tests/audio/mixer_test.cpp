// The mixer between two ticks: fade-in, ramps across calls, loop boundaries,
// the end of unlooped samples, the unmixed voices and the clipper.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "audio/mixer.h"
#include "tests/audio/exact_gains.h"
#include "tests/audio/mixer_fixture.h"
#include "tests/support/mixer_paths.h"

namespace korvanthe {
namespace {

class Mixer : public testing::OnEveryMixerPath {};
class Clipper : public testing::OnEveryMixerPath {};

TEST_P(Mixer, RampLengthFollowsTheRate) {
    const struct {
        int32_t rate;
        int32_t frames;
    } cases[] = {{44100, 128}, {48000, 139}, {22050, 64}, {8000, 23}};
    for (const auto& c : cases) {
        resetVoices(c.rate);
        EXPECT_EQ(mixerSettings.rampFrames, c.frames) << c.rate;
        EXPECT_EQ(mixerSettings.rampFramesInverse, 1.0f / static_cast<float>(c.frames));
    }
    EXPECT_EQ(voices[255].stepInt, 1);
    EXPECT_EQ(voices[7].sample, nullptr);
}

TEST_P(Mixer, NoFramesChangesNothing) {
    TestSample sample(std::vector<int16_t>(64, 1000), LoopNone, 0, 0);
    Voice& voice = steadyVoice(sample);
    voice.positionInt = 5;
    for (int32_t frames : {0, -1, -400}) {
        std::vector<float> buffer(8, 0.0f);
        mixVoices(buffer.data(), frames);
        EXPECT_EQ(buffer, std::vector<float>(8, 0.0f));
        EXPECT_EQ(voice.positionInt, 5);
    }
}

TEST_P(Mixer, TriggeredNoteFadesInOver128Frames) {
    TestSample sample(std::vector<int16_t>(400, 32767), LoopNone, 0, 0);
    Voice& voice = steadyVoice(sample);
    voice.levelLeft = voice.levelRight = 0; // as a trigger leaves them
    const std::vector<float> out = mix(200);
    for (int k = 0; k < 200; ++k) {
        const double gain = k < 128 ? k / 128.0 : 1.0;
        ASSERT_EQ(out[2 * k], static_cast<float>(32767.0 * gain)) << "frame " << k;
        ASSERT_EQ(out[2 * k + 1], out[2 * k]) << "frame " << k;
    }
    EXPECT_EQ(voice.rampFramesLeft, 0);
    EXPECT_EQ(voice.levelLeft, 255 << 8);
    EXPECT_EQ(voice.rampStepLeft, 0.0f);
}

TEST_P(Mixer, SilentTriggerStartsNoRamp) {
    TestSample sample(std::vector<int16_t>(64, 20000), LoopNone, 0, 0);
    Voice& voice = steadyVoice(sample);
    voice.volumeLeft = voice.volumeRight = 0;
    voice.levelLeft = voice.levelRight = 0;
    const std::vector<float> out = mix(32);
    for (float value : out) {
        ASSERT_EQ(value, 0.0f);
    }
    EXPECT_EQ(voice.rampFramesLeft, 0);
    EXPECT_EQ(voice.positionInt, 32);
}

TEST_P(Mixer, RampContinuesInTheNextCallFromTheLevelReached) {
    TestSample sample(std::vector<int16_t>(400, 32767), LoopNone, 0, 0);
    Voice& voice = steadyVoice(sample);
    voice.levelLeft = voice.levelRight = 0;
    voice.volumeRight = 0; // only the left side ramps

    mix(100);
    EXPECT_EQ(voice.rampFramesLeft, 28);
    EXPECT_EQ(voice.levelLeft, 51000); // 100/128 of 255 x 256
    EXPECT_EQ(voice.levelRight, 0);

    const std::vector<float> out = mix(40);
    // Starts at the level reached: 32767 x the gain of level 51000, each
    // product rounded to float (worked out in integers).
    namespace exact = testing::exact;
    EXPECT_EQ(out[0],
              exact::toFloat(exact::single(exact::times({32767, 0}, exact::levelGain(51000)))));
    EXPECT_NEAR(out[2 * 27], 32767.0 * 127 / 128, 0.01);
    EXPECT_EQ(out[2 * 28], 32767.0f); // finished after the remaining 28 frames
    EXPECT_EQ(out[2 * 39 + 1], 0.0f);
    EXPECT_EQ(voice.rampFramesLeft, 0);
    EXPECT_EQ(voice.levelLeft, 255 << 8);
}

TEST_P(Mixer, PassOfNoFramesHandlesTheBoundaryAtOnce) {
    // Less than 2^-24 frame before the end of an unlooped sample.
    TestSample sample(std::vector<int16_t>(16, 9000), LoopNone, 0, 0);
    Voice& voice = steadyVoice(sample);
    voice.positionInt = 15;
    voice.positionFrac = 0xFFFFFF80u;
    voice.volumeLeft = 100; // a ramp would start if frames were mixed
    voice.rampFramesLeft = 0;
    const std::vector<float> out = mix(8);
    for (float value : out) {
        ASSERT_EQ(value, 0.0f);
    }
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.levelLeft, 255 << 8);
    EXPECT_EQ(voice.levelRight, 255 << 8);

    // The same before the end of a forward loop: the wrap comes first.
    TestSample looped(rampData(16, 100), LoopForward, 4, 12);
    Voice& loopVoice = steadyVoice(looped);
    loopVoice.positionInt = 15;
    loopVoice.positionFrac = 0xFFFFFF80u;
    const std::vector<float> wrapped = mix(2);
    EXPECT_NEAR(wrapped[0], 400.0, 0.001); // frame 3 at a weight just below 1
    EXPECT_EQ(loopVoice.positionInt, 5);
}

TEST_P(Mixer, ForwardLoopShorterThanAStepWrapsInOneGo) {
    // Loop frames 10 and 11, five frames per step.
    TestSample sample(rampData(16, 100), LoopForward, 10, 2);
    Voice& voice = steadyVoice(sample, 5);
    const std::vector<float> out = mix(7);
    const float expected[] = {0, 500, 1000, 1100, 1000, 1100, 1000};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(out[2 * k], expected[k]) << "frame " << k;
    }
    EXPECT_EQ(voice.positionInt, 11);
    EXPECT_EQ(voice.positionFrac, 0u);
}

TEST_P(Mixer, PingPongTurnsAtBothEnds) {
    // Loop frames 2..5, one frame per step; frame i holds i x 1000.
    TestSample sample(rampData(8, 1000), LoopPingPong, 2, 4);
    Voice& voice = steadyVoice(sample);
    const struct {
        int frames;    // mixed so far
        int32_t whole; // position afterwards
        uint32_t fraction;
        int32_t direction;
    } phases[] = {
        {6, 5, FrameFraction, 2},  // turned at the end, 2^-32 inside
        {10, 2, 1u, 1},            // down to loopStart, turned forward 2^-32 above it
        {14, 5, FrameFraction, 2}, // up to the end again
    };
    int mixed = 0;
    for (const auto& phase : phases) {
        mix(phase.frames - mixed);
        mixed = phase.frames;
        EXPECT_EQ(voice.positionInt, phase.whole) << phase.frames;
        EXPECT_EQ(voice.positionFrac, phase.fraction) << phase.frames;
        EXPECT_EQ(voice.direction, phase.direction) << phase.frames;
    }

    steadyVoice(sample);
    const std::vector<float> out = mix(16);
    const double heard[] = {0,    1000, 2000, 3000, 4000, 5000, 5000, 5000,
                            4000, 3000, 2000, 3000, 4000, 5000, 5000, 5000};
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(out[2 * k], heard[k], 0.01) << "frame " << k;
    }
}

TEST_P(Mixer, PingPongStepLongerThanTheLoopTurnsAsOftenAsNeeded) {
    // Loop frames 2 and 3, seven frames per step.
    TestSample sample(rampData(8, 1000), LoopPingPong, 2, 2);
    Voice& voice = steadyVoice(sample, 7);
    const std::vector<float> out = mix(8);
    const double heard[] = {0, 3000, 2000, 3000, 3000, 3000, 2000, 3000};
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(out[2 * k], heard[k], 0.01) << "frame " << k;
    }
    EXPECT_EQ(voice.positionInt, 3);
    EXPECT_EQ(voice.positionFrac, FrameFraction - 1);
    EXPECT_EQ(voice.direction, 2);
}

TEST_P(Mixer, UnloopedSampleEndingMidRunFallsSilent) {
    TestSample sample(rampData(10, 100), LoopNone, 0, 0);
    Voice& voice = steadyVoice(sample);
    voice.volumeRight = 0;
    voice.levelRight = 0;
    const std::vector<float> out = mix(20);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(out[2 * k], k < 10 ? 100.0f * k : 0.0f) << "frame " << k;
        EXPECT_EQ(out[2 * k + 1], 0.0f) << "frame " << k;
    }
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.positionInt, 0);
    EXPECT_EQ(voice.positionFrac, 0u);
    const std::vector<float> later = mix(4);
    EXPECT_EQ(later, std::vector<float>(10, 0.0f));
}

TEST_P(Mixer, HalfStepsInterpolate) {
    TestSample sample(rampData(8, 1000), LoopNone, 0, 0);
    steadyVoice(sample, 0, 0x80000000u);
    const std::vector<float> out = mix(5);
    const float expected[] = {0, 500, 1000, 1500, 2000};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(out[2 * k], expected[k]);
    }
}

TEST_P(Mixer, VoicesAbove31NeverSound) {
    TestSample sample(std::vector<int16_t>(64, 30000), LoopForward, 0, 64);
    resetVoices(44100);
    for (int i = MixedVoices; i < VoiceCount; ++i) {
        voices[i].sample = sample.get();
        voices[i].direction = 1;
        voices[i].volumeLeft = voices[i].volumeRight = 255;
        voices[i].levelLeft = voices[i].levelRight = 255 << 8;
    }
    const std::vector<float> out = mix(100);
    for (float value : out) {
        ASSERT_EQ(value, 0.0f);
    }
    EXPECT_EQ(voices[32].positionInt, 0);
}

TEST_P(Clipper, RoundsTiesToEvenAndClamps) {
    const struct {
        float in;
        int16_t out;
    } cases[] = {
        {32767.5f, 32767},
        {-32768.5f, -32768},
        {2.5f, 2},
        {3.5f, 4},
        {-2.5f, -2},
        {0.49f, 0},
        {40000.0f, 32767},
        {-40000.0f, -32768},
        {-0.5f, 0},
        {1.5f, 2},
        {std::numeric_limits<float>::quiet_NaN(), 32767},
    };
    // Eight rounds of the cases: 88 samples, so that the 16- and 8-wide
    // loops and the one-by-one tail all get some.
    constexpr size_t CaseCount = sizeof cases / sizeof cases[0];
    std::vector<float> buffer;
    for (int round = 0; round < 8; ++round) {
        for (const auto& c : cases) {
            buffer.push_back(c.in);
        }
    }
    std::vector<int16_t> pcm(buffer.size(), 77);
    clipToPcm16(pcm.data(), buffer.data(), static_cast<int32_t>(buffer.size() / 2));
    for (size_t i = 0; i < buffer.size(); ++i) {
        EXPECT_EQ(pcm[i], cases[i % CaseCount].out) << i << ": " << buffer[i];
    }
    clipToPcm16(pcm.data(), buffer.data(), 0);
    clipToPcm16(nullptr, buffer.data(), 1);
    clipToPcm16(pcm.data(), nullptr, 1);
    EXPECT_EQ(pcm[0], 32767);
}

TEST_P(Clipper, ClearsWhatItClipsAndNothingBeyond) {
    // Every count of frames from 1 to 24 meets each wide loop and each tail:
    // the PCM is clipToPcm16's, the floats read are 0 afterwards, and the
    // float after the last one read keeps its value.
    for (int32_t frames = 1; frames <= 24; ++frames) {
        std::vector<float> buffer(static_cast<size_t>(frames) * 2 + 1);
        for (size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = static_cast<float>(i % 2 == 0 ? 1000.5 * i : -41000.0 + 3.25 * i);
        }
        const float beyond = buffer.back();
        std::vector<int16_t> expected(buffer.size() - 1);
        clipToPcm16(expected.data(), buffer.data(), frames);
        std::vector<int16_t> pcm(buffer.size() - 1, 77);
        clipToPcm16AndClear(pcm.data(), buffer.data(), frames);
        EXPECT_EQ(pcm, expected) << frames << " frames";
        for (size_t i = 0; i + 1 < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], 0.0f) << frames << " frames, float " << i;
        }
        EXPECT_EQ(buffer.back(), beyond) << frames << " frames";
    }
    std::vector<float> untouched = {5.0f, 6.0f};
    int16_t pcm[2] = {77, 77};
    clipToPcm16AndClear(pcm, untouched.data(), 0);
    clipToPcm16AndClear(nullptr, untouched.data(), 1);
    EXPECT_EQ(untouched, (std::vector<float>{5.0f, 6.0f}));
    EXPECT_EQ(pcm[0], 77);
}

KORVANTHE_ON_EVERY_MIXER_PATH(Mixer);
KORVANTHE_ON_EVERY_MIXER_PATH(Clipper);

} // namespace
} // namespace korvanthe
