// The streaming thread after a stall: held up for a few blocks anywhere in
// the ring, it renders every block that fell behind the device at once, so
// the ring holds the right blocks again; held up for longer than the whole
// ring, what the device plays and what the stamps say still agree.
#include <gtest/gtest.h>

#include <vector>

#include "audio/block_renderer.h"
#include "audio/block_streaming.h"
#include "audio/offline_render.h"
#include "audio/player.h"
#include "module/xm_loader.h"
#include "tests/audio/live_reference.h"
#include "tests/audio/streaming_harness.h"
#include "tests/support/memory_file.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

using testing::BlockFrames;
using testing::Blocks;

// The refill rule step by step: no streaming thread, the test polls.
class StreamingStallTest : public testing::LiveAudioTest {
  protected:
    void SetUp() override {
        LiveAudioTest::SetUp();
        setStreamingByCaller(true);
    }
    void TearDown() override {
        LiveAudioTest::TearDown();
        setStreamingByCaller(false);
    }
};

// The device plays on, then the refill looks once.
::testing::AssertionResult play(int64_t frames) {
    if (!playHeadlessAudio(static_cast<uint32_t>(frames))) {
        return ::testing::AssertionFailure() << "the device plays no loop";
    }
    refillStreaming();
    return ::testing::AssertionSuccess();
}

using testing::Reference;
using testing::renderReference;
using testing::sameStamp;

TEST_F(StreamingStallTest, EveryShortStallAnywhereInTheRingIsMadeUpAtOnce) {
    // Stalls of 1 to 10 blocks, each beginning at every block of the ring:
    // the device moves on k blocks at once while the refill does not look.
    // Once it looks, the ring must hold exactly the device's next 100 blocks,
    // each with its own stamp, whatever block the ring's end falls on.
    constexpr int32_t LongestStall = 10;
    Module song = testing::numberedSong();
    // Between stalls the device moves to the next start block by block.
    const int64_t blocksNeeded = int64_t{Blocks} * LongestStall * (Blocks + LongestStall) + 2 * Blocks;
    const Reference reference = renderReference(song, static_cast<int32_t>(blocksNeeded));
    ASSERT_EQ(reference.stamps.size(), static_cast<size_t>(blocksNeeded));
    ASSERT_TRUE(playModule(&song));
    int64_t device = 0; // the device block playing
    for (int32_t start = 0; start < Blocks; ++start) {
        for (int32_t stall = 1; stall <= LongestStall; ++stall) {
            while (device % Blocks != start) {
                ASSERT_TRUE(play(BlockFrames));
                device += 1;
            }
            ASSERT_TRUE(play(int64_t{stall} * BlockFrames));
            device += stall;
            ASSERT_EQ(stampIndex.load(), device % Blocks) << "stall " << stall;
            EXPECT_TRUE(sameStamp(audibleStamp(&song), reference.stamps[device]));
            for (int64_t ahead = 0; ahead < Blocks; ++ahead) {
                const int64_t block = device + ahead;
                ASSERT_TRUE(sameStamp(blockRenderer.stamps[block % Blocks], reference.stamps[block]))
                    << "a stall of " << stall << " blocks from ring block " << start
                    << ": device block " << block << " in the ring is not fresh";
            }
            takeHeadlessAudioPlayed(); // silence, and a lot of it
        }
    }
}

TEST_F(StreamingStallTest, AStallLongerThanTheRingKeepsSoundAndStampsTogether) {
    // The device has played every block of the ring once more than it was
    // fed: nothing can undo that. The block it plays when the thread looks
    // again stays what it holds, and its stamp says so; from the next block
    // on, the song goes on where the feed stood, with no block left out.
    testing::ModulePtr loaded = testing::loadModuleFromBytes(writeXm(testing::risingSong()));
    ASSERT_NE(loaded, nullptr);
    Module* song = loaded.get();
    const Reference reference = renderReference(*song, 400);
    ASSERT_TRUE(playModule(song));
    ASSERT_TRUE(play(int64_t{30} * BlockFrames));
    takeHeadlessAudioPlayed();
    // The thread last looked at block 30 and fed up to block 129; the device
    // goes on to block 180.
    ASSERT_TRUE(play(int64_t{150} * BlockFrames));
    takeHeadlessAudioPlayed();
    const BlockStamp stale = audibleStamp(song);
    int64_t staleSongBlock = -1;
    for (size_t j = 0; j < reference.stamps.size(); ++j) {
        if (sameStamp(reference.stamps[j], stale)) {
            staleSongBlock = static_cast<int64_t>(j);
        }
    }
    EXPECT_EQ(staleSongBlock, 80) << "ring block 80 still holds what it was fed for block 80";
    ASSERT_TRUE(play(BlockFrames));
    EXPECT_EQ(takeHeadlessAudioPlayed(), reference.blockPcm[static_cast<size_t>(staleSongBlock)])
        << "the sound of the block played must be what its stamp describes";
    // Song blocks 130 on follow, one a block, sound and stamps.
    for (int64_t next = 130; next < 230; ++next) {
        EXPECT_TRUE(sameStamp(audibleStamp(song), reference.stamps[static_cast<size_t>(next)]))
            << "song block " << next;
        ASSERT_TRUE(play(BlockFrames));
        ASSERT_EQ(takeHeadlessAudioPlayed(), reference.blockPcm[static_cast<size_t>(next)])
            << "song block " << next;
    }
    stopModule(song);
}

} // namespace
} // namespace korvanthe
