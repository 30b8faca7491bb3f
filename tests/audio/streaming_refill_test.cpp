// The streaming thread against the virtual device: which block is audible as
// the device plays on, what each block's stamp says, and the refill rule at
// the end of the ring.
#include <gtest/gtest.h>

#include "audio/block_streaming.h"
#include "audio/player.h"
#include "tests/audio/streaming_harness.h"

namespace korvanthe {
namespace {

using testing::BlockFrames;
using testing::Blocks;
using testing::expectedNumberedStamp;
using testing::LiveAudioTest;
using testing::play;

using StreamingRefillTest = LiveAudioTest;

void expectAudibleStamp(Module& song, int64_t block) {
    const testing::ExpectedStamp expected = expectedNumberedStamp(block);
    const BlockStamp stamp = audibleStamp(&song);
    EXPECT_EQ(stamp.order, expected.order) << "block " << block;
    EXPECT_EQ(stamp.row, expected.row) << "block " << block;
    EXPECT_EQ(stamp.elapsedMs, expected.elapsedMs) << "block " << block;
}

TEST_F(StreamingRefillTest, AudibleBlockFollowsThePlayPositionOverSeveralPasses) {
    // The model by hand: ticks of 882 frames in blocks of 884, so block b
    // ends in tick b + 1, and each of its runs (882 - 2b and 2b + 2 frames)
    // truncates to whole milliseconds: 19 in all for block 0 (882 frames are
    // 19.99 ms), 19 or 20 for later blocks (streaming_harness.h).
    EXPECT_EQ(expectedNumberedStamp(0).row, 1);
    EXPECT_EQ(expectedNumberedStamp(0).elapsedMs, 19);
    EXPECT_EQ(expectedNumberedStamp(2).elapsedMs, 57);
    EXPECT_EQ(expectedNumberedStamp(63).order, 1); // tick 64 begins the next order
    EXPECT_EQ(expectedNumberedStamp(63).row, 0);

    Module song = testing::numberedSong();
    ASSERT_TRUE(playModule(&song));
    EXPECT_EQ(stampIndex.load(), 0);
    expectAudibleStamp(song, 0);
    // Quarter blocks: the audible block changes only when the device enters
    // the next one, and each new block's stamp is one ring old.
    const int32_t step = BlockFrames / 4;
    int64_t played = 0;
    while (played < int64_t{Blocks} * BlockFrames * 5 / 2) {
        ASSERT_TRUE(play(step));
        played += step;
        const int64_t block = played / BlockFrames;
        ASSERT_EQ(stampIndex.load(), block % Blocks) << "after " << played << " frames";
        expectAudibleStamp(song, block);
    }
}

TEST_F(StreamingRefillTest, RefillAcrossTheRingEnd) {
    // The renderer stands at block 98 (the device played there block by
    // block); then the device jumps. Playing block 0 or 1, the thread catches
    // up across the end of the ring; playing block 2 or later, it stalls.
    struct Row {
        const char* phase;
        int32_t jumpBlocks;
        int32_t stampIndexAfter;
    };
    const Row table[] = {
        {"to block 0: renders 98 and 99", 2, 0},
        {"to block 1: renders 98, 99 and 0", 3, 1},
        {"to block 2: stalls", 4, 98},
        {"to block 7: stalls", 9, 98},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.phase);
        Module song = testing::numberedSong();
        ASSERT_TRUE(playModule(&song));
        for (int block = 1; block <= 98; ++block) {
            ASSERT_TRUE(play(BlockFrames));
        }
        ASSERT_EQ(stampIndex.load(), 98);
        ASSERT_TRUE(play(int64_t{row.jumpBlocks} * BlockFrames));
        EXPECT_EQ(stampIndex.load(), row.stampIndexAfter);
        if (row.stampIndexAfter != 98) {
            // Caught up: the stamp is that of the block just rendered anew.
            expectAudibleStamp(song, 98 + row.jumpBlocks);
        } else {
            // Stalled: the stamp of the last block rendered in time stays.
            expectAudibleStamp(song, 98);
        }
        ASSERT_TRUE(stopModule(&song));
    }
}

TEST_F(StreamingRefillTest, StallEndsWhenTheDeviceComesBackToTheRenderer) {
    Module song = testing::numberedSong();
    ASSERT_TRUE(playModule(&song));
    ASSERT_TRUE(play(int64_t{50} * BlockFrames));
    ASSERT_EQ(stampIndex.load(), 50);
    // 60 blocks at once: the device is at block 10 of the next pass, behind
    // renderIndex 50, and nothing is rendered while it replays old blocks.
    ASSERT_TRUE(play(int64_t{60} * BlockFrames));
    EXPECT_EQ(stampIndex.load(), 50);
    ASSERT_TRUE(play(int64_t{40} * BlockFrames)); // block 50: still the playing block
    EXPECT_EQ(stampIndex.load(), 50);
    ASSERT_TRUE(play(BlockFrames)); // block 51: block 50 is behind it again
    EXPECT_EQ(stampIndex.load(), 51);
    // Block 51 was not rendered during the stall: the device replays the 52nd
    // block of the song, and its stamp says so.
    expectAudibleStamp(song, 51);
    // Block by block round the ring to block 50, rendered when the stall ended.
    for (int block = 1; block <= 99; ++block) {
        ASSERT_TRUE(play(BlockFrames));
    }
    EXPECT_EQ(stampIndex.load(), 50);
    expectAudibleStamp(song, 150);
}

} // namespace
} // namespace korvanthe
