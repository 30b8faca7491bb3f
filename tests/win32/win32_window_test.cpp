// The window code on the real Win32 window system (run under Wine on a
// virtual X server by scripts/test-windows.sh): the window and its WGL
// context, the messages the window procedure turns into keys, quit requests
// and viewports, the swallowed system commands and the fullscreen toggle
// that replaces window and context.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "host/window.h"
#include "platform/gl.h"

namespace korvanthe {
namespace {

BOOL CALLBACK rememberDemoWindow(HWND window, LPARAM result) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "OpenGL") != 0) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

// This thread's window of the class "OpenGL" (other test processes may have
// theirs on the same display), or null.
HWND demoWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), rememberDemoWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::array<GLint, 4> viewport() {
    std::array<GLint, 4> box{};
    glGetIntegerv(GL_VIEWPORT, box.data());
    return box;
}

// Pumps until the frame loop would end; false when it goes on for 200 frames.
bool pumpsToAnEnd() {
    for (int frame = 0; frame < 200; frame++) {
        if (!pumpFrame()) {
            return true;
        }
    }
    return false;
}

// Pumps n frames; false when one of them ends the loop.
bool pumpsOn(int frames) {
    for (int frame = 0; frame < frames; frame++) {
        if (!pumpFrame()) {
            return false;
        }
    }
    return true;
}

class Win32WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        windowState = WindowState{};
        ASSERT_TRUE(createDisplay(640, 480, 32, "Korvanthe", false)) << "no window (X display?)";
    }
    void TearDown() override {
        closeWindow();
        EXPECT_EQ(demoWindow(), nullptr);
        WNDCLASSA unused;
        EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "OpenGL", &unused));
        // A quit request left over from the test must not reach the next one.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

TEST_F(Win32WindowTest, OpensAWindowWithACurrentContextOfItsClientSize) {
    HWND window = demoWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    RECT client{};
    GetClientRect(window, &client);
    // Without a window manager, Wine keeps the frame on a 640 x 480 screen,
    // which leaves a little less height; the viewport follows the client.
    EXPECT_EQ(client.right, 640);
    EXPECT_GT(client.bottom, 400);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, client.right, client.bottom}));
    EXPECT_TRUE(pumpsOn(10));
}

TEST_F(Win32WindowTest, KeysGoIntoTheKeyTableAndEscapeEnds) {
    HWND window = demoWindow();
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(pumpsToAnEnd());
    EXPECT_TRUE(windowState.keyDown['A']);
    EXPECT_TRUE(windowState.keyDown[VK_ESCAPE]);
    // The loop ends on every pump while Escape is held, until its release.
    EXPECT_FALSE(pumpFrame());
    PostMessageA(window, WM_KEYUP, VK_ESCAPE, 0);
    for (int frame = 0; frame < 200 && windowState.keyDown[VK_ESCAPE]; frame++) {
        pumpFrame();
    }
    EXPECT_TRUE(pumpsOn(10));
    EXPECT_FALSE(windowState.keyDown[VK_ESCAPE]);
}

TEST_F(Win32WindowTest, CloseRequestsEndTheLoopButLeaveTheWindow) {
    struct Case {
        UINT message;
        WPARAM wParam;
    };
    for (const Case& c : {Case{WM_CLOSE, 0}, Case{WM_SYSCOMMAND, SC_CLOSE}}) {
        SCOPED_TRACE(c.message);
        TearDown();
        SetUp();
        PostMessageA(demoWindow(), c.message, c.wParam, 0);
        EXPECT_TRUE(pumpsToAnEnd());
        EXPECT_NE(demoWindow(), nullptr);
    }
}

TEST_F(Win32WindowTest, SystemCommandsOtherThanCloseAreSwallowed) {
    HWND window = demoWindow();
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    SendMessageA(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_TRUE(pumpsOn(20));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(Win32WindowTest, ResizeSetsTheViewport) {
    SendMessageA(demoWindow(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 0));
    EXPECT_TRUE(pumpsOn(5));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 320, 1}));
}

// The screen of the test runs is 640 x 480, so the mode switch succeeds.
TEST_F(Win32WindowTest, SpaceReplacesWindowAndContextAndTheLoopGoesOn) {
    HWND windowed = demoWindow();
    HGLRC windowedContext = wglGetCurrentContext();
    PostMessageA(windowed, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(pumpsOn(30)); // the old window's destruction does not end the loop
    EXPECT_TRUE(windowState.fullscreen);
    EXPECT_FALSE(IsWindow(windowed));
    HWND fullscreen = demoWindow();
    ASSERT_NE(fullscreen, nullptr);
    EXPECT_EQ(GetWindowLongA(fullscreen, GWL_STYLE) & WS_POPUP, WS_POPUP);
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    EXPECT_NE(wglGetCurrentContext(), windowedContext);

    PostMessageA(fullscreen, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(pumpsOn(30));
    EXPECT_FALSE(windowState.fullscreen);
    ASSERT_NE(demoWindow(), nullptr);
    EXPECT_EQ(GetWindowLongA(demoWindow(), GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
}

} // namespace
} // namespace korvanthe
