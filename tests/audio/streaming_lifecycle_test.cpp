// Opening the device, starting and stopping playback, and the refusals:
// what the first thread sees of the device and the streaming thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "audio/block_renderer.h"
#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "tests/audio/streaming_harness.h"

namespace korvanthe {
namespace {

using testing::BlockFrames;
using testing::LiveAudioTest;
using testing::play;
using testing::waitUntil;

using StreamingLifecycleTest = LiveAudioTest;

TEST_F(StreamingLifecycleTest, OpenFixesTheGeometryOfTheRate) {
    struct Row {
        int32_t rate, blockFrames, ringFrames;
    };
    const Row table[] = {
        {44100, 884, 88400}, {22050, 444, 44400}, {48000, 960, 96000}, {11025, 220, 22000}};
    for (const Row& row : table) {
        ASSERT_TRUE(openAudio(row.rate)) << row.rate;
        EXPECT_EQ(headlessAudioSampleRate(), row.rate);
        EXPECT_EQ(outputSettings.blockFrames, row.blockFrames) << row.rate;
        EXPECT_EQ(outputSettings.ringFrames, row.ringFrames) << row.rate;
        EXPECT_EQ(blockCount(), 100) << row.rate;
    }
}

TEST_F(StreamingLifecycleTest, OpenRefusesWithoutFileCallbacksAndLeavesTheDevice) {
    ASSERT_TRUE(openAudio(22050));
    setFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(openAudio(44100));
    EXPECT_TRUE(audioIsOpen());
    EXPECT_EQ(headlessAudioSampleRate(), 22050);
    EXPECT_EQ(outputSettings.blockFrames, 444);
    useStandardFileCallbacks();
}

TEST_F(StreamingLifecycleTest, RefusalsLeaveNothingPlayingAndQueriesAtZero) {
    struct Row {
        const char* what;
        bool devicePresent;
        bool deviceRefusesLoop;
    };
    const Row table[] = {
        {"no device", false, false},
        {"device refuses the loop", true, true},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        setHeadlessAudioPresent(row.devicePresent);
        setHeadlessAudioRefusesLoop(row.deviceRefusesLoop);
        EXPECT_EQ(openAudio(44100), row.devicePresent);
        Module song = testing::numberedSong();
        EXPECT_FALSE(playModule(&song));
        EXPECT_FALSE(headlessAudioLooping());
        EXPECT_TRUE(threadFinished.load());
        EXPECT_EQ(blockRenderer.currentModule, nullptr);
        EXPECT_EQ(blockRenderer.outputRing, nullptr);
        EXPECT_EQ(audibleOrder(&song), 0);
        EXPECT_EQ(audibleRow(&song), 0);
        setHeadlessAudioPresent(true);
        setHeadlessAudioRefusesLoop(false);
    }
    EXPECT_FALSE(playModule(nullptr));
    EXPECT_FALSE(stopModule(nullptr));
}

TEST_F(StreamingLifecycleTest, PlayStopPlayAgainAndClose) {
    Module song = testing::numberedSong();
    EXPECT_EQ(audibleRow(&song), 0); // before play
    ASSERT_TRUE(playModule(&song));
    ASSERT_TRUE(play(int64_t{130} * BlockFrames + 100));
    ASSERT_EQ(stampIndex.load(), 30);
    EXPECT_EQ(audibleRow(&song), 31); // block 30 ends in tick 31
    EXPECT_EQ(audibleRow(nullptr), 0);
    ASSERT_TRUE(stopModule(&song));
    EXPECT_EQ(audibleOrder(&song), 0);
    EXPECT_EQ(audibleRow(&song), 0);
    EXPECT_FALSE(headlessAudioLooping()); // the stop silenced the device
    EXPECT_TRUE(threadFinished.load());
    EXPECT_TRUE(stopModule(&song)); // stopping again is harmless

    ASSERT_TRUE(playModule(&song));
    EXPECT_EQ(stampIndex.load(), 0);
    EXPECT_EQ(audibleRow(&song), 1);
    EXPECT_EQ(audibleStamp(&song).elapsedMs, 19);
    ASSERT_TRUE(play(int64_t{7} * BlockFrames));
    EXPECT_EQ(audibleRow(&song), 8);
    // Playing without a stop in between restarts as well.
    ASSERT_TRUE(playModule(&song));
    EXPECT_EQ(stampIndex.load(), 0);
    ASSERT_TRUE(play(int64_t{3} * BlockFrames));
    EXPECT_EQ(audibleRow(&song), 4);

    closeAudio();
    EXPECT_FALSE(audioIsOpen());
    EXPECT_TRUE(threadFinished.load());
    EXPECT_EQ(blockRenderer.outputRing, nullptr);
    EXPECT_EQ(audibleRow(&song), 0);
    EXPECT_FALSE(playModule(&song));
}

// Tick handler that, once armed, holds the render it runs in until released.
std::atomic<bool> gateArmed{false};
std::atomic<bool> gateEntered{false};
std::atomic<bool> gateOpen{false};

void gatedTick(Module* module) {
    if (gateArmed.load()) {
        gateEntered.store(true);
        while (!gateOpen.load()) {
            std::this_thread::yield();
        }
    }
    testing::numberTick(module);
}

TEST_F(StreamingLifecycleTest, StopWaitsForTheBlockBeingRendered) {
    Module song = testing::numberedSong(gatedTick);
    ASSERT_TRUE(playModule(&song));
    gateArmed.store(true);
    ASSERT_TRUE(playHeadlessAudio(BlockFrames)); // block 0 is left behind
    ASSERT_TRUE(waitUntil([] { return gateEntered.load(); }));
    EXPECT_TRUE(renderInProgress.load());

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        stopModule(&song);
        stopped.store(true);
    });
    ASSERT_TRUE(waitUntil([] { return stopRequested.load(); }));
    EXPECT_FALSE(stopped.load()); // still inside the render
    gateOpen.store(true);
    stopper.join();
    gateArmed.store(false);

    EXPECT_TRUE(stopped.load());
    EXPECT_FALSE(renderInProgress.load());
    EXPECT_TRUE(threadFinished.load());
    EXPECT_FALSE(headlessAudioLooping());
    EXPECT_EQ(blockRenderer.stamps, nullptr);
    EXPECT_EQ(audibleRow(&song), 0);
}

} // namespace
} // namespace korvanthe
