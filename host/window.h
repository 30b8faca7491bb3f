// The demo's single output window with its OpenGL rendering context and key
// table: creation (fullscreen or windowed), the once-per-frame message pump,
// buffer swap and fullscreen toggle, and the tear-down. Written once above
// the window system of platform/window_system.h; every failure is shown in a
// message box captioned "Error" with the stop icon. First thread only.
#pragma once

#include <array>
#include <string>

#include "platform/window_system.h"

namespace korvanthe {

inline constexpr int KeyEscape = 27; // virtual-key codes
inline constexpr int KeySpace = 32;

// The window state, one for the program.
struct WindowState {
    bool fullscreen = true;          // the display is (to be) in fullscreen use
    std::array<bool, 256> keyDown{}; // by virtual-key code, true while held
    // Which of the window system's objects exist (their handles live in the
    // backend).
    bool classRegistered = false;
    bool windowExists = false;
    bool deviceContextExists = false;
    bool renderContextExists = false;
    // The creation parameters, kept for the fullscreen toggle.
    std::string title;
    int width = 0;
    int height = 0;
    int bits = 0;
};

extern WindowState windowState;

// Stores the parameters, clears the key table and opens the window with them.
// True when the window and a current rendering context exist; false after the
// failure has been shown to the user (then there is no window).
bool createDisplay(int width, int height, int bits, const char* title, bool fullscreen);

// Opens the window: class, display mode (fullscreen: when the display refuses,
// asks "Failed to go fullscreen. Run windowed?"), window, pixel format and
// current context, then the viewport. True on success.
bool openWindow(const char* title, int width, int height, int bits, bool fullscreen);

// Releases whatever exists (context, device context, window, class) and
// restores the display mode, showing a message for each step the system
// refuses. Safe to call when nothing exists.
void closeWindow();

// Viewport (0, 0, width, height) and the default projection: 45 degrees
// vertical, aspect width / height, near 0.1, far 100. A height of 0 counts as 1.
void setViewport(int width, int height);

// The window's reaction to one message: keys into keyDown, close requests
// into a quit request, sizes into the viewport, system commands swallowed.
void windowProcedure(const WindowMessage& message);

// Once per frame: ends at once on a quit signal (host/quit_request.h);
// handles at most one message, ends on a quit request or a held Escape
// (before the swap, so the last frame drawn is not shown), swaps the buffers,
// waits where the swap did not wait for the display (host/frame_pacing.h) and
// carries out a Space toggle of fullscreen. False to end the frame loop.
bool pumpFrame();

} // namespace korvanthe
