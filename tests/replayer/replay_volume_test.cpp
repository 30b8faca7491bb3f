// Volume on the row tick and the later ticks: set and global volume clamps,
// slides in the effect and in the volume column, tremolo, tremor, note cut,
// retrigger and the global volume slide. Speed 6 throughout.
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

// One channel playing C-4 with instrument 1 (volume 64) on row 0, with the
// given volume byte, effect and parameter; later rows as given.
Replay playRow(uint8_t volume, uint8_t effect, uint8_t parameter,
               std::initializer_list<XmCell> laterRows = {}) {
    XmSong song = replaySong(1, 8);
    song.patterns[0].at(0, 0) = {C4, 1, volume, effect, parameter};
    int row = 1;
    for (const XmCell& cell : laterRows) {
        song.patterns[0].at(row++, 0) = cell;
    }
    return Replay(song);
}

TEST(ReplayVolume, SetVolumeIsNotClampedGlobalVolumeIs) {
    const struct {
        uint8_t effect, parameter;
        int volume, globalVolume;
    } cases[] = {
        {12, 0x50, 80, 64}, // C50: 80, beyond 64
        {12, 0x20, 32, 64},
        {16, 0x50, 64, 64}, // G50: at most 64
        {16, 0x20, 64, 32},
    };
    for (const auto& c : cases) {
        Replay replay = playRow(0, c.effect, c.parameter);
        ASSERT_TRUE(replay.loaded());
        replay.tick();
        EXPECT_EQ(replay.channel().volume, c.volume) << int{c.effect} << " " << int{c.parameter};
        EXPECT_EQ(replay.module().globalVolume, c.globalVolume);
    }
}

TEST(ReplayVolume, GlobalVolumeReachesEarlierChannelsAtTheirNextUpdate) {
    XmSong song = replaySong(3, 4);
    for (int channel = 0; channel < 3; ++channel) {
        song.patterns[0].at(0, channel) = {C4, 1, 0, 0, 0};
    }
    song.patterns[0].at(1, 2) = {0, 0, 0, 16, 0x20}; // G20 in the third channel
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    replay.ticks(7);
    EXPECT_EQ(replay.voice(0).volume, 127); // updated before the G20 in this row tick
    EXPECT_EQ(replay.voice(2).volume, 63);
    replay.ticks(5);
    EXPECT_EQ(replay.voice(0).volume, 127); // no volume update on later ticks
    replay.tick();
    EXPECT_EQ(replay.voice(0).volume, 63);
}

TEST(ReplayVolume, SlidesInEffectAndVolumeColumn) {
    Replay effect = playRow(0, 10, 0x0F);
    ASSERT_TRUE(effect.loaded());
    expectTicks(effect, channelVolume,
                {
                    64,               // row tick: A does nothing
                    49, 34, 19, 4, 0, // slide down 15, stopping at 0
                },
                "A0F");
    Replay column = playRow(0x6F, 0, 0);
    expectTicks(column, channelVolume,
                {
                    49,              // row tick slides too
                    34, 19, 4, 0, 0, // slide down 15
                },
                "volume column 6F");
    Replay up = playRow(0x13, 0, 0, {{0, 0, 0x75, 0, 0}});
    expectTicks(up, channelVolume,
                {
                    3, 3, 3, 3, 3, 3,      // set volume 3 (0x13)
                    8, 13, 18, 23, 28, 33, // volume column 75: up 5 on all six ticks
                },
                "volume column 13, 75");
    Replay fine = playRow(0x85, 0, 0);
    expectTicks(fine, channelVolume, {59, 59, 59, 59, 59, 59}, "volume column 85: row tick only");
}

TEST(ReplayVolume, VolumeSlideMemory) {
    Replay replay = playRow(0x10, 10, 0x20, {{0, 0, 0, 10, 0x00}});
    ASSERT_TRUE(replay.loaded());
    expectTicks(replay, channelVolume,
                {
                    0, 2, 4, 6, 8, 10,      // A20: up 2 from 0
                    10, 12, 14, 16, 18, 20, // A00: memory, up 2
                },
                "A20 then A00");
}

TEST(ReplayVolume, TremoloEndsIntoTheVolume) {
    // 74F at volume 32: sine phase 0, 4, 8, 12, 16 gives 0, 97, 181, 236,
    // 255; times depth 15 over 64, bounded by 64 - volume.
    Replay replay = playRow(0x30, 7, 0x4F, {{0, 0, 0, 0, 0}});
    ASSERT_TRUE(replay.loaded());
    auto delta = [](Replay& r) { return r.channel().volumeDelta; };
    expectTicks(replay, delta,
                {
                    0, 0, 22,   // row tick, phase 0, phase 4
                    32, 32, 32, // clamped to 64 - 32
                },
                "tremolo offset");
    replay.tick();
    EXPECT_EQ(replay.channel().volume, 64) << "the last offset stays in the volume";
    EXPECT_EQ(replay.channel().volumeDelta, 0);
}

TEST(ReplayVolume, TremorTwoOnThreeOffAcrossRows) {
    Replay replay = playRow(0, 29, 0x12, {{0, 0, 0, 29, 0x00}});
    ASSERT_TRUE(replay.loaded());
    expectTicks(replay, voiceVolume,
                {
                    127,
                    127,
                    0,
                    0,
                    0,   // on 2, off 3, from the row tick on
                    127, // next cycle
                    127,
                    0,
                    0,
                    0, // row 1 (T00 keeps the settings)
                    127,
                    127,
                },
                "T12");
}

TEST(ReplayVolume, NoteCutRetriggerAndMultiRetrigger) {
    Replay cut = playRow(0, 14, 0xC3);
    ASSERT_TRUE(cut.loaded());
    expectTicks(cut, channelVolume, {64, 64, 64, 0, 0, 0}, "EC3");
    Replay neverCut = playRow(0, 14, 0xC0);
    expectTicks(neverCut, channelVolume, {64, 64, 64, 64, 64, 64}, "EC0");

    Replay retrigger = playRow(0, 14, 0x93);
    expectTriggers(retrigger, {true /* the note */, false, false, true, false, false});

    Replay multi = playRow(0, 27, 0x31);
    expectTriggers(multi, {true, true, true, true, true, true});
    Replay multiVolume = playRow(0, 27, 0x31);
    expectTicks(multiVolume, channelVolume, {64, 60, 56, 52, 48, 44}, "R31: down 4 each tick");
}

TEST(ReplayVolume, GlobalVolumeSlideTakesEffectAtTheNextVolumeUpdate) {
    Replay replay = playRow(0, 17, 0x0F, {{0, 0, 0, 0, 0}});
    ASSERT_TRUE(replay.loaded());
    auto global = [](Replay& r) { return r.module().globalVolume; };
    expectTicks(replay, global, {64, 49, 34, 19, 4, 0}, "H0F");
    EXPECT_EQ(replay.voice().volume, 127);
    replay.tick();
    EXPECT_EQ(replay.voice().volume, 0);
}

} // namespace
} // namespace korvanthe::testing
