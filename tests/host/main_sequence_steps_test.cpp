// The main sequence in steps (start, step, finish), as the browser drives
// it: the same frames as the blocking loop, pixel for pixel, the count of
// frames drawn, and a start that fails without a window.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/main_sequence.h"
#include "host/window.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/virtual_clock.h"
#include "tests/support/process_id.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;
using testing::processId;

constexpr uint32_t ClockStart = 1'000'000;
constexpr int64_t Frames = 6;

class MainSequenceSteps : public ::testing::Test {
  protected:
    void SetUp() override {
        resetHeadlessWindowSystem();
        if (!openHeadlessContext()) {
            GTEST_SKIP() << "no offscreen OpenGL context";
        }
        closeHeadlessContext();
        previous = fs::current_path();
        folder = fs::temp_directory_path() /
                 ("korvanthe-main-sequence-steps-" + std::to_string(processId()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::current_path(folder);
        // Something on screen that changes with time: the text effect over a
        // white picture, which fades in copy after copy.
        std::ofstream("random.scp") << "0:0 text resettimer 0 0 0\n"
                                       "0:0 text start 0 0 0\n";
        std::ofstream picture("picture0.raw", std::ios::binary);
        const std::vector<char> white(512 * 256 * 3, static_cast<char>(255));
        picture.write(white.data(), static_cast<std::streamsize>(white.size()));
    }

    void TearDown() override {
        if (!previous.empty()) {
            fs::current_path(previous);
            fs::remove_all(folder);
        }
    }

    // Each frame 300 ms after the one before; the pixels of every frame drawn.
    static MainSequenceHooks recordingHooks(std::vector<std::vector<uint32_t>>& frames) {
        MainSequenceHooks hooks;
        hooks.beforeFrame = [](int64_t frame) {
            setVirtualMilliseconds(ClockStart + static_cast<uint32_t>(frame) * 300);
        };
        hooks.afterFrame = [&frames](int64_t frame) {
            frames.emplace_back();
            readPixels(frames.back());
            if (frame + 1 == Frames) {
                injectKey(KeyEscape, true);
            }
        };
        return hooks;
    }

    fs::path previous;
    fs::path folder;
};

TEST_F(MainSequenceSteps, DrawTheFramesTheBlockingLoopDraws) {
    std::vector<std::vector<uint32_t>> looped;
    resetHeadlessWindowSystem();
    setVirtualMilliseconds(ClockStart);
    EXPECT_EQ(runMainSequence(recordingHooks(looped)), ExitEnded);

    std::vector<std::vector<uint32_t>> stepped;
    resetHeadlessWindowSystem();
    setVirtualMilliseconds(ClockStart);
    EXPECT_EQ(mainSequenceFramesDrawn(), 0);
    int status = -1;
    ASSERT_TRUE(startMainSequence(status, recordingHooks(stepped)));
    EXPECT_EQ(mainSequenceFramesDrawn(), 1);
    int64_t steps = 0;
    while (stepMainSequence()) {
        ++steps;
        EXPECT_EQ(mainSequenceFramesDrawn(), steps + 1);
    }
    EXPECT_EQ(finishMainSequence(), ExitEnded);
    EXPECT_EQ(mainSequenceFramesDrawn(), 0);
    EXPECT_FALSE(headlessWindowExists());

    ASSERT_EQ(looped.size(), static_cast<size_t>(Frames));
    ASSERT_EQ(stepped.size(), looped.size());
    for (size_t frame = 0; frame < looped.size(); ++frame) {
        EXPECT_TRUE(stepped[frame] == looped[frame]) << "frame " << frame;
    }
    // The frames differ among themselves, so the comparison says something.
    EXPECT_FALSE(looped.front() == looped.back());
}

TEST_F(MainSequenceSteps, AStartWithoutAWindowFailsWithItsStatus) {
    resetHeadlessWindowSystem();
    setHeadlessFailingStep(WindowStep::CreateContext);
    int status = -1;
    EXPECT_FALSE(startMainSequence(status));
    EXPECT_EQ(status, ExitNoDisplay);
    EXPECT_EQ(mainSequenceFramesDrawn(), 0);
    EXPECT_FALSE(headlessWindowExists());
}

} // namespace
} // namespace korvanthe
