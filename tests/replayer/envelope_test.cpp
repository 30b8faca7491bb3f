// Envelope stepping (segments, sustain, loop, guards) and the fadeout.
#include <gtest/gtest.h>

#include <vector>

#include "replayer/envelopes.h"

namespace korvanthe {
namespace {

struct EnvelopeRun {
    std::vector<EnvelopePoint> points;
    Envelope envelope{};
    Channel channel{};
    EnvelopeState state{};

    EnvelopeRun(std::vector<EnvelopePoint> pointList, uint8_t flags, uint8_t sustain = 0,
                uint8_t loopStart = 0, uint8_t loopEnd = 0)
        : points(std::move(pointList)) {
        envelope = {points.data(), static_cast<uint8_t>(points.size()),     sustain, loopStart,
                    loopEnd,       static_cast<uint8_t>(flags | EnvelopeOn)};
        state.value = 64;
    }

    // Steps the way the tick code does (skipping a finished envelope) and
    // returns the value after each tick.
    std::vector<int32_t> run(int ticks) {
        std::vector<int32_t> values;
        for (int i = 0; i < ticks; ++i) {
            channel.updateFlags = 0;
            if (!state.finished) {
                stepEnvelope(&channel, &state, envelope, UpdateVolume);
                EXPECT_EQ(channel.updateFlags, UpdateVolume);
            }
            values.push_back(state.value);
        }
        return values;
    }
};

TEST(StepEnvelope, StraightSegmentReachesThePointOnItsTick) {
    EnvelopeRun run({{0, 64}, {10, 0}}, 0);
    EXPECT_EQ(run.run(12), (std::vector<int32_t>{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0}));
    EXPECT_TRUE(run.state.finished);
}

TEST(StepEnvelope, SustainHoldsUntilKeyOffThenFinishes) {
    EnvelopeRun run({{0, 0}, {4, 64}, {8, 32}}, EnvelopeSustain, 1);
    EXPECT_EQ(run.run(8), (std::vector<int32_t>{0, 16, 32, 48, 64, 64, 64, 64}));
    run.channel.keyOff = true;
    EXPECT_EQ(run.run(6), (std::vector<int32_t>{64, 56, 48, 40, 32, 32}));
    EXPECT_TRUE(run.state.finished);
}

TEST(StepEnvelope, LoopRepeatsAlsoAfterKeyOff) {
    EnvelopeRun run({{0, 0}, {2, 64}, {4, 32}, {10, 0}}, EnvelopeLoop, 0, 1, 2);
    // Arriving at point 2 jumps back to point 1's tick and value at once.
    EXPECT_EQ(run.run(3), (std::vector<int32_t>{0, 32, 64}));
    EXPECT_EQ(run.run(3), (std::vector<int32_t>{48, 64, 48}));
    run.channel.keyOff = true;
    EXPECT_EQ(run.run(4), (std::vector<int32_t>{64, 48, 64, 48}));
    EXPECT_FALSE(run.state.finished);
}

TEST(StepEnvelope, LoopEndOnTheSustainPointLoops) {
    EnvelopeRun run({{0, 0}, {2, 64}, {4, 32}, {10, 0}}, EnvelopeLoop | EnvelopeSustain, 2, 1, 2);
    EXPECT_EQ(run.run(7), (std::vector<int32_t>{0, 32, 64, 48, 64, 48, 64}));
}

TEST(StepEnvelope, NeverReadsOutsideThePoints) {
    // Loop start and sustain beyond the points, a negative next point, ticks
    // that run backwards: stepping stays inside and ends at the last point.
    const struct {
        std::vector<EnvelopePoint> points;
        uint8_t flags, sustain, loopStart, loopEnd;
        int32_t nextPoint;
        int32_t last; // value once finished
    } cases[] = {
        {{{0, 10}, {4, 20}}, EnvelopeLoop, 0, 200, 1, 0, 20},
        {{{0, 10}, {4, 20}}, EnvelopeSustain, 9, 0, 0, 0, 20},
        {{{0, 10}, {4, 20}}, 0, 0, 0, 0, -3, -1},
        {{{0, 10}, {8, 40}, {3, 50}, {1, 60}}, 0, 0, 0, 0, 0, 60},
        {{{0, 10}, {4, 300}}, 0, 0, 0, 0, 0, 64},
    };
    for (const auto& c : cases) {
        EnvelopeRun run(c.points, c.flags, c.sustain, c.loopStart, c.loopEnd);
        run.state.nextPoint = c.nextPoint;
        const std::vector<int32_t> values = run.run(40);
        if (c.last >= 0) {
            EXPECT_TRUE(run.state.finished);
            EXPECT_EQ(values.back(), c.last);
        } else {
            EXPECT_FALSE(run.state.finished); // an unknown point: the value stays put
            EXPECT_EQ(values.back(), 0);
        }
    }
}

TEST(StepFadeout, FileValue0x400FallsBy2048ToZeroIn32Ticks) {
    Instrument instrument{};
    instrument.fadeout = 0x800; // stored as twice the file's 0x400
    Channel channel{};
    channel.fadeoutVolume = 65536;
    stepFadeout(&channel, &instrument);
    EXPECT_EQ(channel.fadeoutVolume, 65536); // key still down
    EXPECT_EQ(channel.updateFlags, 0);
    channel.keyOff = true;
    for (int tick = 1; tick <= 34; ++tick) {
        channel.updateFlags = 0;
        stepFadeout(&channel, &instrument);
        EXPECT_EQ(channel.fadeoutVolume, tick <= 32 ? 65536 - 2048 * tick : 0) << tick;
        EXPECT_EQ(channel.updateFlags, UpdateVolume);
    }
}

} // namespace
} // namespace korvanthe
