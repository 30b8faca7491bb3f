// States that the arithmetic could otherwise turn into reads outside the
// sample: positions beyond the boundary, loops starting at frame 0 that the
// turn or the wrap leaves 2^-32 below it, steps of 256 frames and more, and
// looped samples without loop frames. Run under ASan, a read outside fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/mixer.h"
#include "tests/audio/mixer_fixture.h"
#include "tests/support/mixer_paths.h"

namespace korvanthe {
namespace {

class MixerGuard : public testing::OnEveryMixerPath {};

TEST_P(MixerGuard, PositionBeyondTheEndIsHandledAtOnce) {
    TestSample looped(rampData(10, 100), LoopForward, 0, 8);
    Voice& voice = steadyVoice(looped);
    voice.positionInt = 20;
    const std::vector<float> out = mix(3);
    EXPECT_EQ(out[0], 400.0f); // 20 - 2 x 8
    EXPECT_EQ(voice.positionInt, 7);

    TestSample unlooped(rampData(10, 100), LoopNone, 0, 0);
    Voice& ended = steadyVoice(unlooped);
    ended.positionInt = 4000;
    EXPECT_EQ(mix(3), std::vector<float>(8, 0.0f));
    EXPECT_EQ(ended.sample, nullptr);
}

TEST_P(MixerGuard, BackwardFromThreeTurnsForwardAtFrameZero) {
    struct Case {
        const char* why;
        int frames;
        uint8_t loopType;
    };
    const Case cases[] = {
        // Not a state the replayer makes; without the turn the wrap at frame 0
        // would repeat for ever.
        {"forward loop running backward", 8, LoopForward},
        // From 3.0 backward by whole frames the pass ends exactly on frame 0;
        // the mirror 2^-32 below it is taken as 0.
        {"ping-pong turn landing on frame 0", 4, LoopPingPong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestSample sample(rampData(c.frames, 100), c.loopType, 0, c.frames);
        Voice& voice = steadyVoice(sample);
        voice.positionInt = 3;
        voice.direction = 2;
        const std::vector<float> out = mix(6);
        const float heard[] = {300, 200, 100, 0, 100, 200};
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(out[2 * k], heard[k]) << "frame " << k;
        }
        EXPECT_EQ(voice.direction, 1);
    }
}

TEST_P(MixerGuard, BackwardPassWhoseLastFrameWouldFallBelowZero) {
    // Step 1 + 255 x 2^-32 from 3 + 300 x 2^-32: the boundary count is 4, but
    // the fourth frame would lie at -467 x 2^-32. The pass ends a frame early
    // and the turn comes first.
    TestSample sample(rampData(6, 100), LoopPingPong, 0, 6);
    Voice& voice = steadyVoice(sample, 1, 255);
    voice.positionInt = 3;
    voice.positionFrac = 300;
    voice.direction = 2;
    const std::vector<float> out = mix(5);
    EXPECT_NEAR(out[0], 300.0, 0.001);
    EXPECT_NEAR(out[4], 100.0, 0.001);
    EXPECT_NEAR(out[6], 0.0, 0.001); // the turned position, 466 x 2^-32
    EXPECT_NEAR(out[8], 100.0, 0.001);
    EXPECT_EQ(voice.direction, 1);
}

TEST_P(MixerGuard, ForwardPassEndingShortOfALoopFromFrameZero) {
    // Step 1 + 2^-32 from 3 + (2^32 - 200) x 2^-32 towards the end at 8: four
    // frames by the count, which end 199 x 2^-32 short (every frame but the
    // first clears a set lowest bit). The wrap would give -199 x 2^-32.
    TestSample sample(rampData(8, 100), LoopForward, 0, 8);
    Voice& voice = steadyVoice(sample, 1, 1);
    voice.positionInt = 3;
    voice.positionFrac = 0xFFFFFF38u;
    const std::vector<float> out = mix(6);
    EXPECT_NEAR(out[6], 700.0, 0.001);
    EXPECT_EQ(out[8], 0.0f); // from frame 0 again
    EXPECT_NEAR(out[10], 100.0, 0.001);
    EXPECT_GE(voice.positionInt, 0);
}

TEST_P(MixerGuard, StepsOf256FramesAndMoreCountRight) {
    std::vector<int16_t> data(1000);
    for (int i = 0; i < 1000; ++i) {
        data[static_cast<size_t>(i)] = static_cast<int16_t>(i);
    }
    for (uint32_t stepFrames : {255u, 256u, 300u, 999u, 1500u}) {
        TestSample sample(data, LoopForward, 0, 1000);
        Voice& voice = steadyVoice(sample, stepFrames);
        const std::vector<float> out = mix(40);
        for (uint32_t k = 0; k < 40; ++k) {
            ASSERT_EQ(out[2 * k], static_cast<float>(k * stepFrames % 1000))
                << stepFrames << " frame " << k;
        }
        EXPECT_EQ(static_cast<uint32_t>(voice.positionInt), 40 * stepFrames % 1000);
    }
}

TEST_P(MixerGuard, LoopWithoutFramesEndsLikeAnUnloopedSample) {
    for (uint8_t loopType : {LoopForward, LoopPingPong}) {
        TestSample sample(rampData(8, 100), loopType, 8, 0);
        Voice& voice = steadyVoice(sample);
        const std::vector<float> out = mix(12);
        EXPECT_EQ(out[14], 700.0f);
        EXPECT_EQ(out[16], 0.0f);
        EXPECT_EQ(voice.sample, nullptr);
    }
    resetVoices(44100);
    voices[0].sample = &emptySample; // no data at all
    voices[0].volumeLeft = 255;
    EXPECT_EQ(mix(4), std::vector<float>(10, 0.0f));
    EXPECT_EQ(voices[0].sample, nullptr);
}

KORVANTHE_ON_EVERY_MIXER_PATH(MixerGuard);

} // namespace
} // namespace korvanthe
