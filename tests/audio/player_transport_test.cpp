// Moving about in a playing song on the virtual device: a hold stops sound
// and position and lets them go on with the very next frame; a move while
// playing sounds, once the device reaches the blocks rendered anew, exactly
// what the song plays there; every pass of an A-B loop is the song from A to
// B; a move while stopped is where the next play begins; positions the song
// lacks are refused. The refill runs on the test's thread, step by step.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "audio/block_streaming.h"
#include "audio/player.h"
#include "tests/audio/live_reference.h"
#include "tests/audio/streaming_harness.h"
#include "tests/support/memory_file.h"

namespace korvanthe {
namespace {

using testing::BlockFrames;
using testing::Reference;
using testing::sameStamp;

constexpr int64_t RowFrames = 3 * 882;

class PlayerTransportTest : public testing::LiveAudioTest {
  protected:
    void SetUp() override {
        LiveAudioTest::SetUp();
        setStreamingByCaller(true);
        loaded_ = testing::loadModuleFromBytes(writeXm(testing::risingSong()));
        ASSERT_NE(loaded_, nullptr);
        song_ = loaded_.get();
        reference_ = testing::renderReference(*song_, 800);
        map_ = mapPlayback(song_, 1);
        ASSERT_NE(map_, nullptr);
    }
    void TearDown() override {
        if (loaded_) {
            stopModule(song_);
        }
        loaded_.reset();
        LiveAudioTest::TearDown();
        setStreamingByCaller(false);
    }

    // The device plays `frames` in steps of a quarter block, the refill
    // looking after each; what it played is appended to played_.
    void play(int64_t frames) {
        while (frames > 0) {
            const int64_t step = std::min<int64_t>(frames, BlockFrames / 4);
            ASSERT_TRUE(playHeadlessAudio(static_cast<uint32_t>(step)));
            refillStreaming();
            frames -= step;
        }
        const std::vector<int16_t> taken = takeHeadlessAudioPlayed();
        played_.insert(played_.end(), taken.begin(), taken.end());
    }
    int64_t playedFrames() const { return static_cast<int64_t>(played_.size() / 2); }
    std::vector<int16_t> playedFrom(int64_t first) const {
        return {played_.begin() + first * 2, played_.end()};
    }
    int64_t rowFrame(int32_t order, int32_t row) const {
        return map_->rowFrames[static_cast<size_t>(order) * 256 + static_cast<size_t>(row)];
    }
    // The heard position says the song frame heard and its block's stamp.
    void expectHeard(int64_t songFrame) {
        const HeardPosition heard = heardPosition();
        EXPECT_TRUE(heard.known);
        EXPECT_EQ(heard.songFrame, songFrame);
        EXPECT_TRUE(sameStamp(heard.stamp, reference_.stamps[songFrame / BlockFrames]))
            << "at song frame " << songFrame;
    }

    testing::ModulePtr loaded_;
    Module* song_ = nullptr;
    Reference reference_;
    const SongMap* map_ = nullptr;
    std::vector<int16_t> played_;
};

TEST_F(PlayerTransportTest, AHoldStopsEverythingAndPlayingOnLosesAndRepeatsNothing) {
    ASSERT_TRUE(playModule(song_));
    play(10 * BlockFrames + 300);
    pausePlayback(true);
    EXPECT_TRUE(playbackPaused());
    const BlockStamp before = audibleStamp(song_);
    // Held: the device plays nothing, however long it is asked to.
    for (int i = 0; i < 50; ++i) {
        EXPECT_FALSE(playHeadlessAudio(BlockFrames));
        refillStreaming();
    }
    EXPECT_TRUE(sameStamp(audibleStamp(song_), before));
    expectHeard(10 * BlockFrames + 300);
    pausePlayback(false);
    play(60 * BlockFrames);
    EXPECT_EQ(played_, reference_.frames(0, playedFrames()));
    expectHeard(playedFrames());
}

TEST_F(PlayerTransportTest, AMoveWhilePlayingSoundsTheSongFromThere) {
    ASSERT_TRUE(playModule(song_));
    play(20 * BlockFrames);
    // Forward into order 2, mid-block; the device has taken block 20 and
    // plays out it and the next before the blocks rendered anew.
    const int64_t target = rowFrame(2, 5);
    ASSERT_EQ(target, (128 + 5) * RowFrames);
    ASSERT_TRUE(seekPlayback(song_, target));
    play(150 * BlockFrames);
    const int64_t switchFrame = 22 * BlockFrames;
    EXPECT_EQ(std::vector<int16_t>(played_.begin(), played_.begin() + switchFrame * 2),
              reference_.frames(0, switchFrame));
    EXPECT_EQ(playedFrom(switchFrame), reference_.frames(target, playedFrames() - switchFrame));
    expectHeard(target + playedFrames() - switchFrame);

    // And back to the start, with no block of the old place left over once
    // the device reaches the new ones.
    const int64_t before = playedFrames();
    ASSERT_TRUE(seekPlayback(song_, 0));
    play(130 * BlockFrames);
    const int64_t second = before + 2 * BlockFrames;
    EXPECT_EQ(playedFrom(second), reference_.frames(0, playedFrames() - second));
    expectHeard(playedFrames() - second);
}

TEST_F(PlayerTransportTest, EveryPassOfALoopIsTheSongFromItsStartToItsEnd) {
    ASSERT_TRUE(playModule(song_));
    const int64_t from = rowFrame(1, 3) + 100; // in the middle of a tick
    const int64_t to = rowFrame(1, 20);
    ASSERT_TRUE(loopPlayback(song_, from, to));
    int64_t loopFrom = 0;
    int64_t loopTo = 0;
    EXPECT_TRUE(playbackLooping(&loopFrom, &loopTo));
    EXPECT_EQ(loopFrom, from);
    EXPECT_EQ(loopTo, to);
    const int64_t passes = 4;
    play(to + passes * (to - from));
    EXPECT_EQ(std::vector<int16_t>(played_.begin(), played_.begin() + to * 2),
              reference_.frames(0, to));
    for (int64_t pass = 0; pass < passes; ++pass) {
        const int64_t first = to + pass * (to - from);
        EXPECT_EQ(std::vector<int16_t>(played_.begin() + first * 2,
                                       played_.begin() + (first + to - from) * 2),
                  reference_.frames(from, to - from))
            << "pass " << pass + 2;
    }
    expectHeard(from);

    // Ended half-way through a pass: the song goes on through the loop's end.
    play(10 * BlockFrames);
    const int64_t heard = heardPosition().songFrame;
    stopLoopingPlayback();
    EXPECT_FALSE(playbackLooping());
    const int64_t goesOn = playedFrames() + 2 * BlockFrames;
    const int64_t songFrameThere = heard + 2 * BlockFrames;
    play(100 * BlockFrames);
    EXPECT_EQ(playedFrom(goesOn), reference_.frames(songFrameThere, playedFrames() - goesOn));
}

TEST_F(PlayerTransportTest, AMoveWhileStoppedIsWhereTheNextPlayBegins) {
    const int64_t target = rowFrame(3, 17) + 441;
    ASSERT_TRUE(seekPlayback(song_, target));
    ASSERT_TRUE(playModule(song_));
    play(80 * BlockFrames);
    EXPECT_EQ(played_, reference_.frames(target, playedFrames()));
    expectHeard(target + playedFrames());
}

TEST_F(PlayerTransportTest, FramesOutsideTheSongAreRefused) {
    EXPECT_FALSE(seekPlayback(song_, -1));
    EXPECT_FALSE(seekPlayback(song_, map_->endFrame));
    EXPECT_FALSE(loopPlayback(song_, 0, RowFrames)) << "nothing plays";
    ASSERT_TRUE(playModule(song_));
    EXPECT_FALSE(loopPlayback(song_, 5 * RowFrames, 5 * RowFrames));
    EXPECT_FALSE(loopPlayback(song_, 0, map_->endFrame + 1));
    EXPECT_FALSE(playbackLooping());
}

TEST_F(PlayerTransportTest, FreeingAnotherSongLeavesThePlayingOneAlone) {
    ASSERT_TRUE(playModule(song_));
    play(5 * BlockFrames);
    // A second song loaded to look at, and one refused, both freed: the song
    // plays on, its map and all.
    testing::ModulePtr other = testing::loadModuleFromBytes(writeXm(testing::risingSong()));
    ASSERT_NE(other, nullptr);
    other.reset();
    EXPECT_EQ(testing::loadModuleFromBytes({'n', 'o', 't', ' ', 'x', 'm'}), nullptr);
    EXPECT_NE(playbackMap(), nullptr);
    play(20 * BlockFrames);
    EXPECT_EQ(played_, reference_.frames(0, playedFrames()));
    // Freeing the song that plays stops it.
    loaded_.reset();
    EXPECT_FALSE(headlessAudioLooping());
    EXPECT_EQ(playbackMap(), nullptr);
}

// The player's own operations take positions and say what the song lacks.
class PlayerPositionsTest : public testing::LiveAudioTest {
  protected:
    void TearDown() override {
        playerStop();
        std::filesystem::remove(path_);
        LiveAudioTest::TearDown();
    }
    std::string path_ = ::testing::TempDir() + "/player_positions.xm";
};

TEST_F(PlayerPositionsTest, PositionsTheSongLacksAreRefusedWithTheReason) {
    // Orders 0, 1, 2: a jump on row 3 of order 0 to order 2 leaves order 1
    // unplayed; patterns of 16 rows.
    XmSong song = testing::risingSong();
    song.orders = {0, 1, 2};
    song.patterns.clear();
    for (int p = 0; p < 3; ++p) {
        XmPattern& pattern = song.addPattern(16);
        pattern.at(0, 0) = {static_cast<uint8_t>(30 + p), 1, 0, 0, 0};
    }
    song.patterns[0].at(3, 0) = {0, 0, 0, 0xB, 2};
    ASSERT_TRUE(writeXmFile(song, path_));
    ASSERT_NE(playerLoad(path_.c_str()), nullptr);
    EXPECT_EQ(playerSeek(SongPosition::orderRow(3, 0)), PositionRefusal::OrderPastSong);
    EXPECT_EQ(playerSeek(SongPosition::orderRow(2, 16)), PositionRefusal::RowPastPattern);
    EXPECT_EQ(playerSeek(SongPosition::orderRow(1, 0)), PositionRefusal::RowNeverReached);
    EXPECT_EQ(playerSeek(SongPosition::orderRow(0, 5)), PositionRefusal::RowNeverReached);
    // Rows 0..3 of order 0, then 16 of order 2: 20 rows of 2646 frames.
    ASSERT_NE(playerSongMap(), nullptr);
    EXPECT_EQ(playerSongMap()->endFrame, 20 * RowFrames);
    EXPECT_EQ(playerSeek(SongPosition::time(1200)), PositionRefusal::PastSongEnd);
    EXPECT_EQ(playerSeek(SongPosition::frame(20 * RowFrames - 1)), PositionRefusal::None);
    EXPECT_EQ(playerSeek(SongPosition::orderRow(2, 15)), PositionRefusal::None);
    ASSERT_TRUE(playerPlay());
    EXPECT_EQ(playerLoop(SongPosition::orderRow(2, 5), SongPosition::orderRow(2, 3)),
              PositionRefusal::PastSongEnd);
    EXPECT_EQ(playerLoop(SongPosition::orderRow(2, 3), SongPosition::orderRow(2, 5)),
              PositionRefusal::None);
    EXPECT_TRUE(playbackLooping());
}

} // namespace
} // namespace korvanthe
