// Live playback against the virtual headless device: a song whose ticks
// number themselves, and the steps that drive the device and wait for the
// streaming thread to catch up. Time is the device position; the only waits
// poll atomics with a generous bound.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "module/file_callbacks.h"
#include "module/module.h"
#include "platform/headless/headless_audio.h"

namespace korvanthe::testing {

constexpr int32_t Rate = 44100;
constexpr int32_t BlockFrames = 884; // at 44100 Hz
constexpr int32_t Blocks = 100;
constexpr int32_t TickFrames = 882; // BPM 125 at 44100 Hz

// Tick n (counting from 0 at the song start) sets row n % 64 and order n / 64,
// so every stamp tells how many ticks have begun.
inline void numberTick(Module* module) {
    const int32_t tick = module->tick++;
    module->row = tick % 64;
    module->order = tick / 64;
}

// A song without patterns or voices, one tick a row at BPM 125.
inline Module numberedSong(TickHandler handler = numberTick) {
    Module song{};
    song.defaultSpeed = 1;
    song.defaultBpm = 125;
    song.initialGlobalVolume = 64;
    song.tickHandler = handler;
    return song;
}

// The stamp that block `block` (counted from the play start, across passes)
// of a numberedSong must carry, worked out by hand for blocks 0 to 439.
// Block b holds frames 884b to 884b + 883, and tick n begins at frame 882n,
// so the block ends in tick b + 1 and is cut at frame 882(b + 1) into runs of
// 882 - 2b and 2b + 2 frames. With t = 2b / 44.1 they last 20 - t and
// t + 2/44.1 ms; each truncated to whole milliseconds they add up to 19, or
// to 20 when t's fraction lies above 1 - 2/44.1, that is when 20b modulo 441
// is 422 or more. (Block 0's 882 frames give 19, not 20: the single-precision
// 1/44100 lies just below the exact value.)
struct ExpectedStamp {
    int32_t order;
    int32_t row;
    int32_t elapsedMs;
};
inline ExpectedStamp expectedNumberedStamp(int64_t block) {
    EXPECT_LT(block, 440) << "beyond the blocks the model was worked out for";
    int32_t elapsed = 0;
    for (int64_t b = 0; b <= block; ++b) {
        elapsed += (20 * b) % 441 >= 422 ? 20 : 19;
    }
    const int64_t lastTick = block + 1;
    return {static_cast<int32_t>(lastTick / 64 % 256), static_cast<int32_t>(lastTick % 64),
            elapsed};
}

template <class Condition> bool waitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Waits until the streaming thread has asked for the position twice more:
// it has then seen the latest position and finished the refill it caused.
inline bool settle() {
    const uint64_t seen = headlessAudioPositionQueries();
    return waitUntil([seen] { return headlessAudioPositionQueries() >= seen + 2; });
}

// Plays frames on the device, then lets the streaming thread act on it.
inline ::testing::AssertionResult play(int64_t frames) {
    while (frames > 0) {
        const auto step = static_cast<uint32_t>(std::min<int64_t>(frames, 1 << 20));
        if (!playHeadlessAudio(step)) {
            return ::testing::AssertionFailure() << "the device plays no loop";
        }
        frames -= step;
    }
    if (!settle()) {
        return ::testing::AssertionFailure() << "the streaming thread did not poll";
    }
    return ::testing::AssertionSuccess();
}

// An open device at 44100 Hz with the standard file callbacks; closed after
// each test.
class LiveAudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setHeadlessAudioPresent(true);
        setHeadlessAudioRefusesLoop(false);
        useStandardFileCallbacks();
        ASSERT_TRUE(openAudio(Rate));
    }
    void TearDown() override {
        closeAudio();
        setHeadlessAudioPresent(true);
        setHeadlessAudioRefusesLoop(false);
        takeHeadlessAudioPlayed();
    }
};

} // namespace korvanthe::testing
