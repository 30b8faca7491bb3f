// The main sequence on the headless backend, in a folder of the test's own:
// what exists while the demo runs, what is gone after it, the first frame
// and the Escape path, and a demo without its song or with a short picture;
// its exit statuses, quit signals, and two runs in one process. Also run in
// steps (start, step, finish), as the browser drives it: the same frames as
// the blocking loop, pixel for pixel, and the count of frames drawn.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/main_sequence.h"
#include "host/quit_request.h"
#include "host/textures.h"
#include "host/window.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/virtual_clock.h"
#include "tests/support/process_id.h"
#include "timeline/effect_registry.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;
using testing::processId;

constexpr uint32_t ClockStart = 1'000'000;
constexpr int64_t RecordedFrames = 6;

class MainSequence : public ::testing::Test {
  protected:
    void SetUp() override {
        // Before anything opens: a failing step an earlier test chose must
        // not fail this one's context.
        resetHeadlessWindowSystem();
        if (!openHeadlessContext()) {
            GTEST_SKIP() << "no offscreen OpenGL context";
        }
        closeHeadlessContext();
        previous = fs::current_path();
        folder =
            fs::temp_directory_path() / ("korvanthe-main-sequence-" + std::to_string(processId()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::current_path(folder);
        resetHeadlessWindowSystem();
        setVirtualMilliseconds(ClockStart);
    }

    void TearDown() override {
        clearQuitRequest();
        if (!previous.empty()) {
            fs::current_path(previous);
            fs::remove_all(folder);
        }
    }

    static void writeText(const char* name, const std::string& text) {
        std::ofstream(name) << text;
    }

    // Runs the demo for `frames` frames, each 500 ms after the one before,
    // calling `look` after each frame is drawn.
    static void runFrames(int64_t frames, const std::function<void(int64_t)>& look) {
        MainSequenceHooks hooks;
        hooks.beforeFrame = [](int64_t frame) {
            setVirtualMilliseconds(ClockStart + static_cast<uint32_t>(frame) * 500);
        };
        hooks.afterFrame = [&](int64_t frame) {
            look(frame);
            if (frame + 1 == frames) {
                injectKey(KeyEscape, true);
            }
        };
        EXPECT_EQ(runMainSequence(hooks), 0);
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
            if (frame + 1 == RecordedFrames) {
                injectKey(KeyEscape, true);
            }
        };
        return hooks;
    }

    fs::path previous;
    fs::path folder;
};

TEST_F(MainSequence, BuildsTheDemoAndTearsItDown) {
    writeText("random.scp", "0:0 flash start 0 0 0\n");
    std::vector<std::string> names;
    std::array<unsigned int, TextureSlotCount> slots{};
    runFrames(1, [&](int64_t) {
        for (int i = 0; i < effectRegistry.count; ++i) {
            names.push_back(effectRegistry.effects[i]->name);
        }
        slots = textures;
    });
    // Registry order is delivery and drawing order.
    EXPECT_EQ(names, (std::vector<std::string>{"random", "flash", "text", "scroll"}));
    // Missing picture files still give textures (black ones) in slots 0 to 6.
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        EXPECT_EQ(slots[slot] != 0, slot <= 6) << "slot " << slot;
    }
    // Afterwards nothing refers to the destroyed effects or the closed window.
    EXPECT_EQ(effectRegistry.count, 0);
    EXPECT_FALSE(headlessWindowExists());
    EXPECT_EQ(textures[0], 0u);
}

TEST_F(MainSequence, EscapeFirstEndsAfterOneFrameThatIsNeverShown) {
    injectKey(KeyEscape, true);
    int drawn = 0;
    MainSequenceHooks hooks;
    hooks.afterFrame = [&](int64_t) { ++drawn; };
    EXPECT_EQ(runMainSequence(hooks), 0);
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(headlessSwapCount(), 0);
}

TEST_F(MainSequence, WithoutTheSongOnlyTheEntriesAtTheStartFire) {
    writeText("random.scp", "0:0 flash start 0 0 0\n"
                            "0:1 scroll start 0 0 0\n");
    std::vector<bool> flashActive;
    std::vector<bool> scrollActive;
    runFrames(4, [&](int64_t) {
        flashActive.push_back(effectRegistry.effects[1]->active);
        scrollActive.push_back(effectRegistry.effects[3]->active);
    });
    EXPECT_EQ(flashActive, (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(scrollActive, (std::vector<bool>{false, false, false, false}));
}

TEST_F(MainSequence, PixelsAShortPictureLacksAreBlack) {
    // picture0.raw holds only the upper half of its 512 x 256 pixels, in white.
    {
        std::ofstream file("picture0.raw", std::ios::binary);
        const std::vector<char> white(512 * 128 * 3, static_cast<char>(255));
        file.write(white.data(), static_cast<std::streamsize>(white.size()));
    }
    writeText("random.scp", "0:0 text resettimer 0 0 0\n"
                            "0:0 text start 0 0 0\n");
    uint32_t top = 0;
    uint32_t bottom = 0xFFFFFF;
    // Frame 1 shows the text 500 ms after its start: one copy at 0.9.
    runFrames(2, [&](int64_t frame) {
        if (frame == 1) {
            top = readPixel(320, 100);
            bottom = readPixel(320, 400);
        }
    });
    EXPECT_NEAR(static_cast<int>(top & 255), 230, 3);
    EXPECT_EQ(bottom, 0u);
}

TEST_F(MainSequence, ASecondRunAfterAnEscapeRunsAsLongAsTheFirst) {
    // The Escape that ended the first run must not end the second at once.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        int64_t drawn = 0;
        runFrames(3, [&](int64_t) { ++drawn; });
        EXPECT_EQ(drawn, 3);
    }
}

TEST_F(MainSequence, AStartWithoutAWindowEndsWithAFailureStatus) {
    setHeadlessFailingStep(WindowStep::CreateContext);
    int drawn = 0;
    MainSequenceHooks hooks;
    hooks.afterFrame = [&](int64_t) { ++drawn; };
    EXPECT_EQ(runMainSequence(hooks), ExitNoDisplay);
    EXPECT_EQ(drawn, 0);
    EXPECT_FALSE(headlessWindowExists());
}

TEST_F(MainSequence, AQuitSignalEndsTheDemoLikeEscape) {
    installQuitSignalHandlers();
    std::raise(SIGTERM); // before the loop: during the wait before the song
    int drawn = 0;
    MainSequenceHooks hooks;
    hooks.afterFrame = [&](int64_t) { ++drawn; };
    EXPECT_EQ(runMainSequence(hooks), ExitEnded);
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(quitSignal(), SIGTERM);
    EXPECT_FALSE(headlessWindowExists());
    EXPECT_EQ(effectRegistry.count, 0);

    // In the frame loop: the next pump ends it, before its swap.
    clearQuitRequest();
    resetHeadlessWindowSystem();
    hooks.afterFrame = [&](int64_t frame) {
        ++drawn;
        if (frame == 2) {
            std::raise(SIGINT);
        }
    };
    EXPECT_EQ(runMainSequence(hooks), ExitEnded);
    EXPECT_EQ(drawn, 3);
    EXPECT_EQ(headlessSwapCount(), 2);
    EXPECT_EQ(quitSignal(), SIGINT);
}

TEST_F(MainSequence, InStepsDrawsTheFramesTheBlockingLoopDraws) {
    // Something on screen that changes with time: the text effect over a
    // white picture, which fades in copy after copy.
    writeText("random.scp", "0:0 text resettimer 0 0 0\n"
                            "0:0 text start 0 0 0\n");
    {
        std::ofstream picture("picture0.raw", std::ios::binary);
        const std::vector<char> white(512 * 256 * 3, static_cast<char>(255));
        picture.write(white.data(), static_cast<std::streamsize>(white.size()));
    }
    std::vector<std::vector<uint32_t>> looped;
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

    ASSERT_EQ(looped.size(), static_cast<size_t>(RecordedFrames));
    ASSERT_EQ(stepped.size(), looped.size());
    for (size_t frame = 0; frame < looped.size(); ++frame) {
        EXPECT_TRUE(stepped[frame] == looped[frame]) << "frame " << frame;
    }
    // The frames differ among themselves, so the comparison says something.
    EXPECT_FALSE(looped.front() == looped.back());
}

TEST_F(MainSequence, InStepsAStartWithoutAWindowFailsWithItsStatus) {
    setHeadlessFailingStep(WindowStep::CreateContext);
    int status = -1;
    EXPECT_FALSE(startMainSequence(status));
    EXPECT_EQ(status, ExitNoDisplay);
    EXPECT_EQ(mainSequenceFramesDrawn(), 0);
    EXPECT_FALSE(headlessWindowExists());
}

} // namespace
} // namespace korvanthe
