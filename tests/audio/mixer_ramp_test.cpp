// Volume ramps to the last bit: the ramp step (a double product stored as
// float), the gains summed frame by frame, the level reached after a ramp cut
// short (rounded to nearest), the level put exactly on the volume at the end
// of a ramp, and a new ramp when the target changes while one runs. The
// expected values come from tests/audio/exact_gains.h, which does the same
// arithmetic in integers. The voices play samples whose frames are all 1, so
// each mixed value is the frame's gain itself. Run on every mixer path.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/mixer.h"
#include "tests/audio/exact_gains.h"
#include "tests/audio/mixer_fixture.h"
#include "tests/support/mixer_paths.h"

namespace korvanthe {
namespace {

namespace exact = testing::exact;
using exact::Dyadic;

constexpr int32_t OnesFrames = 4096;

class MixerRamp : public testing::OnEveryMixerPath {
  protected:
    // Voice 0 just triggered (levels 0) on the ones, at `rate`, heading for
    // the volumes given.
    Voice& triggered(int32_t rate, int32_t left, int32_t right) {
        resetVoices(rate);
        Voice& voice = voices[0];
        voice.sample = ones_.get();
        voice.direction = 1;
        voice.stepInt = 1;
        voice.volumeLeft = left;
        voice.volumeRight = right;
        return voice;
    }

    TestSample ones_{std::vector<int16_t>(OnesFrames, 1), LoopForward, 0, OnesFrames};
};

// The gains of `frames` ramp frames from `start` by `step`, and after them.
struct RampGains {
    std::vector<Dyadic> perFrame;
    Dyadic after;
};
RampGains rampGains(Dyadic start, Dyadic step, int frames) {
    RampGains gains{{}, start};
    for (int k = 0; k < frames; ++k) {
        gains.perFrame.push_back(gains.after);
        gains.after = exact::nextGain(gains.after, step);
    }
    return gains;
}

// Every step a ramp can take (volume differences -255..255 but 0) at rates
// whose ramp length is a power of two (44100: 128, 22050: 64) and at rates
// where it is not (48000: 139, 8000: 23); at the latter a step computed in
// single precision differs from the double product in its last bit for
// some differences. Each voice ramps up on one side and down on the other.
TEST_P(MixerRamp, StepIsTheDoubleProductStoredAsFloat) {
    const struct {
        int32_t rate, frames;
    } rates[] = {{44100, 128}, {22050, 64}, {48000, 139}, {8000, 23}};
    int failures = 0;
    int singleDiffers = 0;
    for (const auto& r : rates) {
        for (int32_t d = -255; d <= 255; ++d) {
            if (d == 0) {
                continue;
            }
            const int32_t low = d > 0 ? 0 : -d; // left ramps low -> high by d, right the reverse
            const int32_t high = d > 0 ? d : 0;
            Voice& voice = triggered(r.rate, high, low);
            voice.levelLeft = low << 8;
            voice.levelRight = high << 8;
            const Dyadic stepLeft = exact::rampStep(d, r.frames);
            const Dyadic stepRight = exact::rampStep(-d, r.frames);
            singleDiffers +=
                exact::toFloat(exact::rampStepInSingle(d, r.frames)) != exact::toFloat(stepLeft);
            const RampGains left = rampGains(exact::levelGain(low << 8), stepLeft, 6);
            const RampGains right = rampGains(exact::levelGain(high << 8), stepRight, 6);

            const std::vector<float> out = mix(6);
            bool same = voice.rampStepLeft == exact::toFloat(stepLeft) &&
                        voice.rampStepRight == exact::toFloat(stepRight);
            for (int k = 0; k < 6; ++k) {
                same = same && out[2 * k] == exact::toFloat(left.perFrame[k]) &&
                       out[2 * k + 1] == exact::toFloat(right.perFrame[k]);
            }
            if (!same && ++failures <= 5) {
                ADD_FAILURE() << "rate " << r.rate << ", difference " << d << ": step "
                              << voice.rampStepLeft << " / " << voice.rampStepRight << ", expected "
                              << exact::toFloat(stepLeft) << " / " << exact::toFloat(stepRight);
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(singleDiffers, 0) << "no case tells a single-precision step from the double one";
}

// A fade-in cut short after k frames keeps the level round(gain x 255 x
// 256), rounded to nearest: at 48000 Hz (139 frames per ramp) the gains k x
// 255/139 land on every kind of fraction, and the next call starts from
// that level's gain.
TEST_P(MixerRamp, LevelOfARampCutShortIsRoundedToNearest) {
    const Dyadic step = exact::rampStep(255, 139);
    const Dyadic stepRight = exact::rampStep(37, 139);
    Dyadic gain = exact::levelGain(0);
    Dyadic gainRight = exact::levelGain(0);
    int roundedUp = 0;
    for (int k = 1; k < 139; ++k) {
        gain = exact::nextGain(gain, step);
        gainRight = exact::nextGain(gainRight, stepRight);
        const int64_t level = exact::roundToInteger(exact::levelOf(gain));
        const int64_t levelRight = exact::roundToInteger(exact::levelOf(gainRight));
        roundedUp += exact::fractionAboveHalf(exact::levelOf(gain));

        Voice& voice = triggered(48000, 255, 37);
        mix(k);
        ASSERT_EQ(voice.levelLeft, level) << "after " << k << " frames";
        ASSERT_EQ(voice.levelRight, levelRight) << "after " << k << " frames";
        ASSERT_EQ(voice.rampFramesLeft, 139 - k);
        const std::vector<float> next = mix(1);
        ASSERT_EQ(next[0], exact::toFloat(exact::levelGain(static_cast<int32_t>(level)))) << k;
    }
    EXPECT_GT(roundedUp, 10) << "too few levels where truncating would differ";
}

// A fade-in to 255 stopped after 50 frames at 44100 Hz leaves level 25500
// (the step is exactly 1/128, so the gain is 50/128 and 50/128 x 65280 =
// 25500: volume 99 and 156/256). A new ramp to 200 then runs by 101 volume
// steps from that gain, so it would end near 200 + 156/256; the level is put
// on 200 x 256 instead, and the odd frame after the ramp, which takes its
// gain from the level, plays at exactly the gain of volume 200.
TEST_P(MixerRamp, RampEndPutsTheLevelOnTheVolume) {
    Voice& voice = triggered(44100, 255, 255);
    mix(50);
    ASSERT_EQ(voice.levelLeft, 25500);
    voice.volumeLeft = 200;
    voice.volumeRight = 60;

    const RampGains left = rampGains(exact::levelGain(25500), exact::rampStep(101, 128), 128);
    const RampGains right = rampGains(exact::levelGain(25500), exact::rampStep(60 - 99, 128), 128);
    ASSERT_NE(exact::roundToInteger(exact::levelOf(left.after)), 200 << 8)
        << "the case must end off the volume without the snap";

    const std::vector<float> out = mix(129); // the ramp's 128 frames and one odd steady frame
    for (int k = 0; k < 128; ++k) {
        ASSERT_EQ(out[2 * k], exact::toFloat(left.perFrame[k])) << "frame " << k;
        ASSERT_EQ(out[2 * k + 1], exact::toFloat(right.perFrame[k])) << "frame " << k;
    }
    EXPECT_EQ(out[2 * 128], exact::toFloat(exact::volumeGain(200)));
    EXPECT_EQ(out[2 * 128 + 1], exact::toFloat(exact::volumeGain(60)));
    EXPECT_EQ(voice.levelLeft, 200 << 8);
    EXPECT_EQ(voice.levelRight, 60 << 8);
    EXPECT_EQ(voice.rampFramesLeft, 0);
    EXPECT_EQ(voice.rampStepLeft, 0.0f);
    EXPECT_EQ(voice.rampStepRight, 0.0f);
}

// A fade-in to 255 is stopped after 50 frames (level 25500, 78 frames to
// go); then one side's volume changes. The running ramp is dropped: a new
// one of 128 frames starts from the levels reached, on both sides, towards
// the volumes now set.
TEST_P(MixerRamp, NewTargetStartsANewRampFromTheLevelReached) {
    const struct {
        const char* side;
        int32_t left, right;
    } cases[] = {{"left", 100, 255}, {"right", 255, 30}};
    for (const auto& c : cases) {
        Voice& voice = triggered(44100, 255, 255);
        mix(50);
        ASSERT_EQ(voice.rampFramesLeft, 78);
        voice.volumeLeft = c.left;
        voice.volumeRight = c.right;

        const RampGains left =
            rampGains(exact::levelGain(25500), exact::rampStep(c.left - 99, 128), 60);
        const RampGains right =
            rampGains(exact::levelGain(25500), exact::rampStep(c.right - 99, 128), 60);
        const std::vector<float> out = mix(60);
        for (int k = 0; k < 60; ++k) {
            ASSERT_EQ(out[2 * k], exact::toFloat(left.perFrame[k])) << c.side << " frame " << k;
            ASSERT_EQ(out[2 * k + 1], exact::toFloat(right.perFrame[k]))
                << c.side << " frame " << k;
        }
        EXPECT_EQ(voice.rampFramesLeft, 68) << c.side;
        EXPECT_EQ(voice.rampTargetLeft, c.left) << c.side;
        EXPECT_EQ(voice.rampTargetRight, c.right) << c.side;
    }
}

// Whole ramps from levels all over the range (some with a fraction, as a
// ramp cut short leaves them) to volumes all over it, every frame against
// the serial sums. A vector path may take several frames' gains at once
// where they follow from one another, and must still give each sum to the
// bit: within a binade, across its edges, from silence and towards it.
TEST_P(MixerRamp, WholeRampsGiveEveryFramesSerialSum) {
    const struct { int32_t rate, frames; } rates[] = {{44100, 128}, {48000, 139}};
    int failures = 0;
    for (const auto& r : rates) {
        for (int32_t from = 0; from <= 255; from += 3) {
            for (int32_t to = 1; to <= 255; to += 5) {
                if (to == from) {
                    continue;
                }
                const int32_t levelLeft = from << 8 | (from < 255 ? from * 53 & 0xFF : 0);
                const int32_t levelRight = (255 - from) << 8;
                const int32_t toRight = (to * 7) % 256;
                Voice& voice = triggered(r.rate, to, toRight);
                voice.levelLeft = levelLeft;
                voice.levelRight = levelRight;
                const RampGains left = rampGains(exact::levelGain(levelLeft),
                                                 exact::rampStep(to - from, r.frames), r.frames);
                const RampGains right =
                    rampGains(exact::levelGain(levelRight),
                              exact::rampStep(toRight - (255 - from), r.frames), r.frames);
                const std::vector<float> out = mix(r.frames);
                for (int k = 0; k < r.frames; ++k) {
                    if ((out[2 * k] != exact::toFloat(left.perFrame[k]) ||
                         out[2 * k + 1] != exact::toFloat(right.perFrame[k])) &&
                        ++failures <= 5) {
                        ADD_FAILURE()
                            << "rate " << r.rate << ", level " << levelLeft << " / " << levelRight
                            << " to " << to << " / " << toRight << ": frame " << k << " is "
                            << out[2 * k] << " / " << out[2 * k + 1];
                        break;
                    }
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

KORVANTHE_ON_EVERY_MIXER_PATH(MixerRamp);

} // namespace
} // namespace korvanthe
