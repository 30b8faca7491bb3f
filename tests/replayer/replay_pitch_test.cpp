// Pitch effects tick by tick: arpeggio on both tables, portamento up with its
// floor, tone portamento reaching its target, in the effect and in the volume
// column. Speed 6; C-4 is period 4608 on the linear table, 1712 on Amiga.
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

XmSong pitchSong(bool linear, std::initializer_list<XmCell> rows) {
    XmSong song = replaySong(1, 8);
    song.flags = linear ? 1 : 0;
    int row = 0;
    for (const XmCell& cell : rows) {
        song.patterns[0].at(row++, 0) = cell;
    }
    return song;
}

int periodDelta(Replay& r) {
    return r.channel().periodDelta;
}

TEST(ReplayPitch, ArpeggioOnBothTables) {
    Replay linear(pitchSong(true, {{C4, 1, 0, 0, 0x47}}));
    ASSERT_TRUE(linear.loaded());
    expectTicks(linear, periodDelta,
                {
                    0,
                    256,
                    448, // base, +4, +7 semitones of 64 units
                    0,
                    256,
                    448,
                },
                "linear 047");
    // Amiga: the difference of the table's periods; note 60 is 856 and 49 is 1615.
    Replay amiga(pitchSong(false, {{C4, 1, 0, 0, 0xC1}}));
    expectTicks(amiga, periodDelta, {0, 856 - 1712, 1615 - 1712, 0, 856 - 1712, 1615 - 1712},
                "Amiga 0C1");
    Replay none(pitchSong(true, {{C4, 1, 0, 0, 0x00}}));
    expectTicks(none, periodDelta, {0, 0, 0, 0, 0, 0}, "000 does nothing");
}

TEST(ReplayPitch, PortamentoUpStopsAtFloor) {
    // B-7 is period 1600 on the linear table.
    Replay replay(pitchSong(true, {{xmNote("B-7"), 1, 0, 1, 0xFF}}));
    ASSERT_TRUE(replay.loaded());
    expectTicks(replay, channelPeriod,
                {
                    1600,           // row tick: only the memory
                    580,            // up 4 x 255
                    56, 56, 56, 56, // floor
                },
                "1FF");
}

TEST(ReplayPitch, TonePortamentoReachesItsTargetExactly) {
    Replay replay(pitchSong(true, {{C4, 1, 0, 0, 0}, {Cs4, 0, 0, 3, 0x03}, {0, 0, 0, 3, 0x00}}));
    ASSERT_TRUE(replay.loaded());
    replay.ticks(6);
    expectTicks(replay, channelPeriod,
                {
                    4608, 4596, 4584, 4572, 4560, 4548, // 303 towards 4544: down 12 a tick
                    4548, 4544, 4544, 4544, 4544, 4544, // 300: memory; stops on the target
                },
                "303, 300");
}

TEST(ReplayPitch, VolumeColumnPortamentoSlidesWithoutRestart) {
    Replay replay(pitchSong(true, {{C4, 1, 0, 0, 0}, {C5, 0, 0xF4, 0, 0}}));
    ASSERT_TRUE(replay.loaded());
    replay.ticks(6);
    replay.markVoices();
    expectTicks(replay, channelPeriod,
                {
                    4608, // row tick: target set, no slide
                    4352,
                    4096,
                    3840, // 4 x 64 units a tick
                    3840,
                    3840,
                },
                "volume column F4");
    EXPECT_FALSE(replay.triggered());
}

} // namespace
} // namespace korvanthe::testing
