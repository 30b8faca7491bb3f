// The song position: rows per speed, order advance and restart, jumps,
// breaks, loops, pattern delay, speed and tempo.
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

using Position = std::pair<int, int>; // order, row

// The (order, row) of each of the next `rows` row ticks.
std::vector<Position> rowTicks(Replay& replay, int rows) {
    std::vector<Position> positions;
    for (int guard = 0; guard < 100000 && static_cast<int>(positions.size()) < rows; ++guard) {
        const bool rowTick = replay.module().tick == 0;
        replay.tick();
        if (rowTick) {
            positions.emplace_back(replay.module().order, replay.module().row);
        }
    }
    return positions;
}

// `orders` order entries, each naming its own pattern of `rows` rows, two channels.
XmSong positionSong(int orders, int rows) {
    XmSong song = replaySong(2, rows);
    song.orders.clear();
    song.patterns.clear();
    for (int i = 0; i < orders; ++i) {
        song.orders.push_back(static_cast<uint8_t>(i));
        song.addPattern(rows);
    }
    return song;
}

TEST(TickDriver, RowsAdvanceEverySpeedTicksAndSongContinuesAtRestart) {
    XmSong song = positionSong(3, 2);
    song.restartPosition = 1;
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(replay.module().tick, 0);
        replay.ticks(6);
    }
    EXPECT_EQ(rowTicks(replay, 6),
              (std::vector<Position>{{2, 0}, {2, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}));
}

TEST(TickDriver, JumpsAndBreaks) {
    const struct {
        XmCell first, second; // channels 0 and 1 of row 0
        Position next;
        const char* what;
    } cases[] = {
        {{0, 0, 0, 11, 5}, {0, 0, 0, 13, 0x10}, {5, 10}, "B05 then D10"},
        {{0, 0, 0, 13, 0x10}, {0, 0, 0, 11, 5}, {5, 0}, "D10 then B05"},
        {{0, 0, 0, 13, 0x10}, {0, 0, 0, 13, 0x20}, {1, 20}, "two breaks: the later wins"},
        {{0, 0, 0, 11, 9}, {}, {0, 0}, "B beyond the song: order 0"},
        {{0, 0, 0, 13, 0x40}, {}, {1, 40}, "D40: row 40"},
        {{0, 0, 0, 13, 0x70}, {}, {1, 0}, "D70: above 63, row 0"},
        {{0, 0, 0, 11, 7}, {0, 0, 0, 13, 0x30}, {7, 0}, "break into a 16-row pattern: row 0"},
    };
    for (const auto& c : cases) {
        XmSong song = positionSong(8, 64);
        song.patterns[7] = XmPattern(16, 2);
        song.patterns[0].at(0, 0) = c.first;
        song.patterns[0].at(0, 1) = c.second;
        Replay replay(song);
        ASSERT_TRUE(replay.loaded());
        EXPECT_EQ(rowTicks(replay, 2).back(), c.next) << c.what;
    }
}

TEST(TickDriver, BreakOnLastOrderGoesToOrderZeroNotRestart) {
    XmSong song = positionSong(3, 4);
    song.restartPosition = 1;
    song.patterns[2].at(1, 0) = {0, 0, 0, 13, 0x02};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    EXPECT_EQ(rowTicks(replay, 11).back(), (Position{0, 2}));
}

TEST(TickDriver, PatternLoopPlaysThreeTimes) {
    XmSong song = positionSong(1, 12);
    song.patterns[0].at(4, 1) = {0, 0, 0, 14, 0x60};
    song.patterns[0].at(8, 1) = {0, 0, 0, 14, 0x62};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    std::vector<int> rows;
    for (const Position& p : rowTicks(replay, 20)) {
        rows.push_back(p.second);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 9}));
}

TEST(TickDriver, PatternDelaySpeedAndTempo) {
    // EE2 at speed 6: 18 ticks, effects on ticks 1 to 17 (A01 slides 17 times).
    XmSong song = positionSong(1, 4);
    song.patterns[0].at(0, 0) = {C4, 1, 0, 10, 0x01};
    song.patterns[0].at(0, 1) = {0, 0, 0, 14, 0xE2};
    Replay delayed(song);
    ASSERT_TRUE(delayed.loaded());
    delayed.ticks(18);
    EXPECT_EQ(delayed.module().row, 0);
    EXPECT_EQ(delayed.module().tick, 0);
    EXPECT_EQ(delayed.channel().volume, 64 - 17);
    delayed.tick();
    EXPECT_EQ(delayed.module().row, 1);

    const struct {
        uint8_t parameter;
        int ticksPerRow, bpm, samplesPerTick;
    } speeds[] = {
        {0x01, 1, 125, 882},
        {0x00, 1, 125, 882},  // F01, F00: a new row every tick
        {0x1F, 31, 125, 882}, // F1F: speed 31
        {0x20, 6, 32, 3445},  // F20: BPM 32
    };
    for (const auto& s : speeds) {
        XmSong speedSong = positionSong(1, 4);
        speedSong.patterns[0].at(0, 0) = {0, 0, 0, 15, s.parameter};
        Replay replay(speedSong);
        ASSERT_TRUE(replay.loaded());
        replay.tick();
        EXPECT_EQ(replay.module().bpm, s.bpm);
        EXPECT_EQ(replay.module().samplesPerTick, s.samplesPerTick);
        replay.ticks(s.ticksPerRow - 1);
        EXPECT_EQ(replay.module().tick, 0) << int{s.parameter};
        EXPECT_EQ(rowTicks(replay, 1).back(), (Position{0, 1})) << int{s.parameter};
    }
}

} // namespace
} // namespace korvanthe::testing
