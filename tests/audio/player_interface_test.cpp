// The player interface on the virtual device: load, play, the audible order
// and row as the device plays on, stop; and that what the device played is
// exactly what an offline render of the song gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/offline_render.h"
#include "audio/player.h"
#include "module/xm_loader.h"
#include "tests/audio/streaming_harness.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

using testing::BlockFrames;
using testing::play;

// Two orders of 8-row patterns, a looped sine note on each of the first rows
// and some volume changes, so that the sound differs from block to block.
XmSong twoOrderSong(uint16_t speed, uint16_t bpm, int rows) {
    XmSong song;
    song.channelCount = 2;
    song.defaultSpeed = speed;
    song.defaultBpm = bpm;
    song.orders = {0, 1};
    XmSample sine = XmSample::sine16(100, 400);
    sine.loop = XmLoop::Forward;
    sine.loopLength = 400;
    song.instruments.push_back(XmInstrument::withSample(sine));
    for (int p = 0; p < 2; ++p) {
        XmPattern& pattern = song.addPattern(rows);
        pattern.at(0, 0) = {xmNote(p == 0 ? "C-4" : "G-4"), 1, 0, 0, 0};
        pattern.at(2, 1) = {xmNote("E-5"), 1, 0x30, 0, 0};
        pattern.at(rows / 2, 0) = {0, 0, 0x20, 0, 0};
    }
    return song;
}

class PlayerInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override { setHeadlessAudioPresent(true); }
    void TearDown() override {
        playerStop();
        setHeadlessAudioPresent(true);
        takeHeadlessAudioPlayed();
    }

    std::string writeSong(const XmSong& song) {
        // One file per test: ctest runs the tests of this file side by side.
        std::string path = ::testing::TempDir() + "player_interface_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xm";
        EXPECT_TRUE(writeXmFile(song, path));
        return path;
    }
};

TEST_F(PlayerInterfaceTest, NothingPlaysWithoutASongOrADevice) {
    EXPECT_EQ(loadedModule(), nullptr);
    EXPECT_FALSE(playerPlay());
    EXPECT_EQ(playerCurrentOrder(), 0);
    EXPECT_EQ(playerCurrentRow(), 0);

    EXPECT_EQ(playerLoad("no/such/song.xm"), nullptr);
    EXPECT_EQ(headlessAudioSampleRate(), 44100); // the device opened all the same
    EXPECT_FALSE(playerPlay());
    EXPECT_EQ(playerCurrentRow(), 0);
    playerStop(); // without a song it still closes the device
    EXPECT_EQ(headlessAudioSampleRate(), 0);

    setHeadlessAudioPresent(false);
    ASSERT_NE(playerLoad(writeSong(twoOrderSong(6, 125, 8)).c_str()), nullptr);
    EXPECT_FALSE(playerPlay());
    EXPECT_EQ(playerCurrentOrder(), 0);
    EXPECT_EQ(playerCurrentRow(), 0);
}

TEST_F(PlayerInterfaceTest, TheRowHeardIsTheOneCurrentAtTheEndOfTheBlockPlaying) {
    struct Row {
        const char* what;
        uint16_t speed, bpm;
        int rows;
        int64_t rowFrames; // speed x frames per tick
        int minBlocksPerRow, maxBlocksPerRow;
    };
    const Row table[] = {
        // 6 ticks of 882 frames: every row is heard, for five or six blocks.
        {"speed 6 at BPM 125", 6, 125, 8, 6 * 882, 5, 6},
        // 432 frames a row: two or three rows begin in each block and only
        // the last of them is ever heard.
        {"speed 1 at BPM 255", 1, 255, 64, 432, 0, 1},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        ASSERT_NE(playerLoad(writeSong(twoOrderSong(row.speed, row.bpm, row.rows)).c_str()),
                  nullptr);
        ASSERT_TRUE(playerPlay());
        const int64_t rowsCovered = 200 * BlockFrames / row.rowFrames; // the last partly
        std::vector<int> blocksPerRow(static_cast<size_t>(rowsCovered) + 1, 0);
        for (int64_t block = 0; block < 200; ++block) {
            const int64_t songRow = ((block + 1) * BlockFrames - 1) / row.rowFrames;
            EXPECT_EQ(playerCurrentOrder(), songRow / row.rows % 2) << "block " << block;
            EXPECT_EQ(playerCurrentRow(), songRow % row.rows) << "block " << block;
            ++blocksPerRow[static_cast<size_t>(songRow)];
            ASSERT_TRUE(play(BlockFrames));
        }
        for (int64_t songRow = 0; songRow < rowsCovered; ++songRow) {
            EXPECT_GE(blocksPerRow[songRow], row.minBlocksPerRow) << "song row " << songRow;
            EXPECT_LE(blocksPerRow[songRow], row.maxBlocksPerRow) << "song row " << songRow;
        }
        playerStop();
    }
}

TEST_F(PlayerInterfaceTest, DevicePlaysExactlyTheOfflineRender) {
    const std::string path = writeSong(twoOrderSong(3, 140, 8));
    ASSERT_NE(playerLoad(path.c_str()), nullptr);
    ASSERT_TRUE(playerPlay());
    // Two and a half rings in uneven steps, so that blocks are left behind
    // one, two or several at a time.
    const int64_t total = int64_t{250} * BlockFrames;
    const int64_t steps[] = {300, 884, 2000, 5, 1768, 4000};
    int64_t played = 0;
    for (size_t i = 0; played < total; ++i) {
        const int64_t step = std::min(steps[i % std::size(steps)], total - played);
        ASSERT_TRUE(play(step));
        played += step;
    }
    const std::vector<int16_t> heard = takeHeadlessAudioPlayed();
    playerStop();

    XmLoadReport report;
    Module* song = createModule(path.c_str(), &report);
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(startOfflineRender(song, 44100, false));
    std::vector<int16_t> rendered;
    OfflineBlock block{};
    for (int i = 0; i < 250 && renderOfflineBlock(&block); ++i) {
        rendered.insert(rendered.end(), block.pcm, block.pcm + block.frames * 2);
    }
    stopOfflineRender();
    freeModule(song);

    ASSERT_EQ(heard.size(), rendered.size());
    size_t firstDifference = 0;
    while (firstDifference < heard.size() && heard[firstDifference] == rendered[firstDifference]) {
        ++firstDifference;
    }
    EXPECT_EQ(firstDifference, heard.size()) << "first differing frame " << firstDifference / 2;
    size_t loud = 0;
    for (int16_t sample : heard) {
        loud += sample != 0;
    }
    EXPECT_GT(loud, heard.size() / 2); // the comparison is not one of silences
}

TEST_F(PlayerInterfaceTest, StopAndReloadEndPlaybackAndForgetTheSong) {
    const std::string path = writeSong(twoOrderSong(6, 125, 8));
    Module* first = playerLoad(path.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(playerPlay());
    ASSERT_TRUE(play(int64_t{30} * BlockFrames));
    EXPECT_NE(playerCurrentRow(), 0);

    // A second load frees the first song, which stops its playback.
    Module* second = playerLoad(path.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(loadedModule(), second);
    EXPECT_FALSE(headlessAudioLooping());
    EXPECT_EQ(playerCurrentRow(), 0);

    ASSERT_TRUE(playerPlay());
    ASSERT_TRUE(play(int64_t{30} * BlockFrames));
    playerStop();
    EXPECT_EQ(loadedModule(), nullptr);
    EXPECT_EQ(headlessAudioSampleRate(), 0);
    EXPECT_EQ(playerCurrentOrder(), 0);
    EXPECT_EQ(playerCurrentRow(), 0);
    EXPECT_FALSE(playerPlay());
}

} // namespace
} // namespace korvanthe
