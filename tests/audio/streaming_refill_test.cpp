// The streaming thread against the virtual device: which block is audible as
// the device plays on, and what each block's stamp says. (Stalls:
// streaming_stall_test.cpp.)
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

} // namespace
} // namespace korvanthe
