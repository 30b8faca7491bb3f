// The block renderer offline: where ticks fall in blocks, elapsed time, and
// where a song ends.
#include "audio/block_renderer.h"
#include "audio/offline_render.h"
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

TEST(RenderBlock, RefusesWithoutSongOrOutput) {
    XmSong song = replaySong();
    ModulePtr module = loadModuleFromBytes(writeXm(song));
    ASSERT_NE(module, nullptr);
    outputSettings = OutputSettings{};
    EXPECT_FALSE(startBlockRendering(module.get()));
    configureOutput(44100);
    EXPECT_FALSE(startBlockRendering(nullptr));
    renderBlock(); // nothing to render: no effect, no crash
    EXPECT_EQ(blockRenderer.currentModule, nullptr);
}

TEST(RenderBlock, RingLeftAtALowerRateIsReplacedNotOverrun) {
    ModulePtr module = loadModuleFromBytes(writeXm(replaySong()));
    ASSERT_NE(module, nullptr);
    configureOutput(11025);
    ASSERT_TRUE(startBlockRendering(module.get()));
    stopBlockRendering(); // the ring stays, as for a device still looping it
    ASSERT_NE(blockRenderer.outputRing, nullptr);
    configureOutput(48000);
    ASSERT_TRUE(startBlockRendering(module.get()));
    EXPECT_GE(blockRenderer.outputRingFrames, 96000);
    for (int block = 0; block < 100; ++block) {
        renderBlock(); // the sanitizers see any write past the ring
    }
    stopBlockRendering();
    releaseOutputRing();
}

TEST(RenderBlock, TicksElapsedTimeAndTempoChangesInBlocks) {
    XmSong song = replaySong();
    song.patterns[0].at(1, 0) = {0, 0, 0, 15, 0x20}; // row 1: BPM 32, 3445 frames a tick
    ModulePtr module = loadModuleFromBytes(writeXm(song));
    ASSERT_NE(module, nullptr);
    configureOutput(44100);
    ASSERT_TRUE(startBlockRendering(module.get()));
    EXPECT_EQ(module->bpm, 125);

    // Block 0: a tick at frame 0 (882 frames: 19 ms, truncated with the
    // single-precision 1/44100), another at 882 with 2 frames (0 ms).
    renderBlock();
    BlockStamp stamp = readStamp(blockRenderer.stamps[0]);
    EXPECT_EQ(stamp.elapsedMs, 19);
    EXPECT_EQ(module->samplesToTick, 880);
    EXPECT_EQ(blockRenderer.renderIndex, 1);
    for (int block = 1; block < 6; ++block) {
        renderBlock();
    }
    // Six ticks of 882 frames end within block 5; the row tick of row 1 sets
    // BPM 32, and that tick already lasts 3445 frames.
    EXPECT_EQ(module->row, 1);
    EXPECT_EQ(module->samplesToTick, 3445 - (6 * 884 - 6 * 882));
    EXPECT_EQ(readStamp(blockRenderer.stamps[5]).row, 1);
    for (int block = 6; block < 100; ++block) {
        renderBlock();
    }
    EXPECT_EQ(blockRenderer.renderIndex, 0) << "wraps after blockCount blocks";
    stopBlockRendering();
    EXPECT_EQ(blockRenderer.currentModule, nullptr);
}

TEST(RenderBlock, SongEndsAtFirstRepeatOutsidePatternLoops) {
    const struct {
        std::initializer_list<std::pair<int, XmCell>> cells; // row, cell of channel 0
        int rowsPlayed;
        const char* what;
    } cases[] = {
        {{}, 8, "order wrap"},
        {{{1, {0, 0, 0, 14, 0x60}}, {2, {0, 0, 0, 14, 0x61}}}, 10, "a loop is no repeat"},
        {{{5, {0, 0, 0, 13, 0x02}}}, 6, "a break back into played rows"},
        {{{3, {0, 0, 0, 11, 0x00}}}, 4, "a jump back"},
    };
    for (const auto& c : cases) {
        XmSong song = replaySong(1, 8);
        for (const auto& [row, cell] : c.cells) {
            song.patterns[0].at(row, 0) = cell;
        }
        ModulePtr module = loadModuleFromBytes(writeXm(song));
        ASSERT_NE(module, nullptr);
        ASSERT_TRUE(startOfflineRender(module.get(), 44100, true));
        OfflineBlock block{};
        int64_t frames = 0;
        while (frames < 44100 * 60 && renderOfflineBlock(&block)) {
            frames += block.frames;
        }
        EXPECT_TRUE(offlineSongEnded()) << c.what;
        EXPECT_EQ(frames, int64_t{c.rowsPlayed} * 6 * 882) << c.what;
        stopOfflineRender();
    }
}

} // namespace
} // namespace korvanthe::testing
