// The window on SDL under a virtual X server: it opens, shows a frame, goes
// fullscreen on a Space key press (sent by xdotool, as a user's would come)
// with the picture centred at full screen height, comes back on the next, and
// ends on Escape. Without a window manager nobody makes the window cover the
// screen: the picture then fills the 640 x 480 window it really has. Each
// test runs where its kind of X server is (run_under_xvfb.sh starts one with
// and one without a manager) and is skipped on the other and without an X
// server.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <string>

#include "host/window.h"
#include "platform/clock.h"
#include "platform/gl.h"
#include "platform/sdl2/sdl_window.h"
#include "timeline/screen_projection.h"

namespace korvanthe {
namespace {

constexpr uint32_t WaitLimitMilliseconds = 10000;

// Sends key presses (press and release) to the demo's window through the X
// server, as a keyboard would.
bool pressKey(const char* key) {
    const std::string command =
        std::string("xdotool search --sync --name '^Korvanthe$' windowfocus --sync key ") + key;
    return std::system(command.c_str()) == 0;
}

// Pumps frames until the condition holds; false when the loop ended or the
// X server did not deliver within the limit.
bool pumpUntil(const std::function<bool()>& condition) {
    const uint32_t start = platformMilliseconds();
    while (!condition()) {
        if (!pumpFrame() || platformMilliseconds() - start > WaitLimitMilliseconds) {
            return false;
        }
        platformSleep(2); // the X server needs a moment to deliver
    }
    return true;
}

std::array<GLint, 4> viewport() {
    std::array<GLint, 4> box{};
    glGetIntegerv(GL_VIEWPORT, box.data());
    return box;
}

bool clientIs(int width, int height) {
    int clientWidth = 0;
    int clientHeight = 0;
    platformClientSize(clientWidth, clientHeight);
    return clientWidth == width && clientHeight == height;
}

// Clears the screen black and fills the viewport white; returns the pixel at
// (x, y) from the bottom left of the back buffer.
uint32_t drawWhitePictureAndRead(int x, int y) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setScreenPixelProjection();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(0, 480);
    glVertex2f(640, 480);
    glVertex2f(640, 0);
    glEnd();
    glFinish();
    uint32_t pixel = 0;
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &pixel);
    return pixel & 0x00FFFFFFu;
}

// Presses Escape and pumps until the frame loop ends.
bool endsOnEscape() {
    if (!pressKey("Escape")) {
        return false;
    }
    const uint32_t start = platformMilliseconds();
    while (platformMilliseconds() - start < WaitLimitMilliseconds) {
        if (!pumpFrame()) {
            return windowState.keyDown[KeyEscape];
        }
        platformSleep(2);
    }
    return false;
}

// Whether a window manager runs on the X server (it announces itself on the
// root window).
bool windowManagerRuns() {
    return std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") ==
           0;
}

// The white picture's corners and centre, inside the window's 640 x 480.
bool pictureFillsTheWindow() {
    return drawWhitePictureAndRead(1, 1) == 0xFFFFFFu &&
           drawWhitePictureAndRead(638, 478) == 0xFFFFFFu &&
           drawWhitePictureAndRead(320, 240) == 0xFFFFFFu;
}

class SdlWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no X server";
        }
        if (!windowManagerRuns()) {
            GTEST_SKIP() << "no window manager";
        }
        // A failed switch answers Yes (run windowed) in the log, never waits.
        answerMessageBoxesWith(MessageBoxAnswer::Yes);
        windowState = WindowState{};
    }
    void TearDown() override { closeWindow(); }
};

TEST_F(SdlWindowTest, StartsFullscreenWithThePictureCentred) {
    ASSERT_TRUE(createDisplay(640, 480, 32, "Korvanthe", true));
    EXPECT_TRUE(windowState.fullscreen);
    ASSERT_TRUE(pumpUntil([] { return clientIs(1280, 720); }));
    ASSERT_TRUE(pumpUntil([] { return viewport() == std::array<GLint, 4>{160, 0, 960, 720}; }));
    EXPECT_TRUE(pumpUntil([] { return drawWhitePictureAndRead(1100, 700) == 0xFFFFFFu; }));
    EXPECT_EQ(drawWhitePictureAndRead(1200, 700), 0u);
    EXPECT_TRUE(endsOnEscape());
}

TEST_F(SdlWindowTest, OpensTogglesFullscreenAndBackAndEndsOnEscape) {
    ASSERT_TRUE(createDisplay(640, 480, 32, "Korvanthe", false));
    EXPECT_TRUE(clientIs(640, 480));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));

    // One frame, shown by the next pump.
    EXPECT_EQ(drawWhitePictureAndRead(320, 240), 0xFFFFFFu);
    EXPECT_TRUE(pumpFrame());

    ASSERT_TRUE(pressKey("space"));
    ASSERT_TRUE(pumpUntil([] { return windowState.fullscreen; }));
    // Desktop fullscreen on the 1280 x 720 screen: 960 x 720 in the middle.
    ASSERT_TRUE(pumpUntil([] { return clientIs(1280, 720); }));
    ASSERT_TRUE(pumpUntil([] { return viewport() == std::array<GLint, 4>{160, 0, 960, 720}; }));
    // The back buffer follows the window's new size within a frame or two.
    EXPECT_TRUE(pumpUntil([] { return drawWhitePictureAndRead(640, 360) == 0xFFFFFFu; }));
    EXPECT_EQ(drawWhitePictureAndRead(80, 360), 0u); // the side bar stays black
    EXPECT_TRUE(pumpFrame());

    ASSERT_TRUE(pressKey("space"));
    ASSERT_TRUE(pumpUntil([] { return !windowState.fullscreen; }));
    ASSERT_TRUE(pumpUntil([] { return clientIs(640, 480); }));
    ASSERT_TRUE(pumpUntil([] { return viewport() == std::array<GLint, 4>{0, 0, 640, 480}; }));
    EXPECT_TRUE(pumpUntil([] { return drawWhitePictureAndRead(320, 240) == 0xFFFFFFu; }));

    EXPECT_TRUE(endsOnEscape());
}

class SdlWindowWithoutManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no X server";
        }
        if (windowManagerRuns()) {
            GTEST_SKIP() << "a window manager runs";
        }
        answerMessageBoxesWith(MessageBoxAnswer::Yes);
        windowState = WindowState{};
    }
    void TearDown() override { closeWindow(); }
};

TEST_F(SdlWindowWithoutManagerTest, ThePictureFillsTheWindowItHasInBothUses) {
    ASSERT_TRUE(createDisplay(640, 480, 32, "Korvanthe", true));
    EXPECT_TRUE(windowState.fullscreen);
    // SDL says the window covers the 1280 x 720 screen; nobody made it so.
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_TRUE(pumpFrame());
    }
    EXPECT_TRUE(clientIs(640, 480));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
    EXPECT_TRUE(pictureFillsTheWindow());

    ASSERT_TRUE(pressKey("space"));
    ASSERT_TRUE(pumpUntil([] { return !windowState.fullscreen; }));
    EXPECT_TRUE(pumpUntil([] { return viewport() == std::array<GLint, 4>{0, 0, 640, 480}; }));
    EXPECT_TRUE(pictureFillsTheWindow());

    ASSERT_TRUE(pressKey("space"));
    ASSERT_TRUE(pumpUntil([] { return windowState.fullscreen; }));
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_TRUE(pumpFrame());
    }
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
    EXPECT_TRUE(pictureFillsTheWindow());
    EXPECT_TRUE(endsOnEscape());
}

} // namespace
} // namespace korvanthe
