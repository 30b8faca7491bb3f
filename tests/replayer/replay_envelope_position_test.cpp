// Lxx on envelopes that a damaged file can hold: point values above 64 and a
// first point after tick 0. Wherever Lxx puts the envelope, its value stays
// within 0..64 and the voice volume within 0..127, as stepping guarantees.
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

int volumeEnvelopeValue(Replay& r) {
    return r.channel().volumeEnvelope.value;
}

TEST(ReplayEnvelopePosition, StaysWithinTheValueRangeOnDamagedEnvelopes) {
    const struct {
        const char* what;
        std::vector<XmEnvelopePoint> points;
        uint8_t parameter;
        std::initializer_list<int> values; // from the row tick of the Lxx on
    } cases[] = {
        // (8,128) counts as (8,64): slope 8 per tick from 0.
        {"L04 into a segment towards a point of 128",
         {{0, 0}, {8, 128}, {16, 0}},
         0x04,
         {
             32, 40, 48, 56, 64, // tick 4 of the rise
             64,                 // point 1 reached on tick 8
             56,                 // down towards (16,0)
         }},
        {"L10 beyond a last point of 300", {{0, 64}, {4, 300}}, 0x10, {64, 64, 64}},
        // Before the first point the envelope holds that point's value until
        // it reaches it, as it does from a note's start.
        {"L08 before a first point at tick 10",
         {{10, 0}, {20, 64}},
         0x08,
         {
             0, 0, 0, // ticks 8, 9: waiting for point 0
             0,       // point 0 reached on tick 10
             6, 12,   // rising by 6.4 per tick
         }},
    };
    for (const auto& c : cases) {
        XmSong song = replaySong(1, 4);
        song.defaultSpeed = 16; // one row: the Lxx runs once
        song.instruments[0].volumeEnvelope.points = c.points;
        song.instruments[0].volumeEnvelope.flags = 1;
        song.patterns[0].at(0, 0) = {C4, 1, 0, 21, c.parameter};
        Replay replay(song);
        ASSERT_TRUE(replay.loaded());
        int tick = 0;
        for (int value : c.values) {
            replay.tick();
            EXPECT_EQ(volumeEnvelopeValue(replay), value) << c.what << ", tick " << tick;
            EXPECT_GE(replay.voice().volume, 0) << c.what << ", tick " << tick;
            EXPECT_LE(replay.voice().volume, 127) << c.what << ", tick " << tick;
            ++tick;
        }
    }
}

TEST(ReplayEnvelopePosition, LxxBackIntoASegmentOfLargeValues) {
    // Values far beyond 64 around a sustain point, and an L02 on the second
    // row: unclamped, the jump back into the first segment sounded at 191.
    XmSong song = replaySong(1, 4);
    XmEnvelope& envelope = song.instruments[0].volumeEnvelope;
    envelope.points = {{0, 255}, {4, 127}, {7, 65535}};
    envelope.sustainPoint = 1;
    envelope.flags = 1 | 2;
    song.patterns[0].at(0, 0) = {C4, 1, 0, 0, 0};
    song.patterns[0].at(1, 0) = {0, 0, 0, 21, 0x02};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    expectTicks(replay, volumeEnvelopeValue,
                {
                    64, 64, 64, 64, 64, 64, // row 0: every point counts as 64
                    64, 64, 64, 64,         // L02, then up to the sustain point
                    64, 64,                 // held there
                },
                "sustained");
    EXPECT_EQ(replay.voice().volume, 127);
}

} // namespace
} // namespace korvanthe::testing
