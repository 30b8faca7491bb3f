// The window system as the window code in host/ sees it: one output window
// with an OpenGL context, its messages, the display mode and message boxes.
// Each operation is one step of the window's life that Win32 serves with a
// call or two (RegisterClass, ChangeDisplaySettings, CreateWindowEx ...
// wglMakeCurrent, PeekMessage, SwapBuffers, MessageBox); the sdl2 and
// headless backends map the same steps onto SDL and EGL, and web onto the
// page's canvas and WebGL (sdl2's window is SDL's whether its sound goes
// to PulseAudio or through SDL). Every backend keeps its handles to itself:
// the host only learns whether each step worked.
// All operations run on the program's first thread.
#pragma once

namespace korvanthe {

// What the window code asks for when it creates the window.
struct WindowRequest {
    const char* className;
    const char* title;
    int width;      // client area, pixels
    int height;     // client area, pixels
    int colourBits; // 32
    int depthBits;  // depth buffer wish; backends give at least 24
    bool fullscreen;
};

// The creation steps, in the order they run. platformCreateWindow reports the
// first that failed; everything made by the steps before it still exists and
// is released by the close operations below.
enum class WindowStep {
    None,              // every step worked
    CreateWindow,      // no window
    DeviceContext,     // no device context (drawing surface)
    ChoosePixelFormat, // no pixel format fits the request
    SetPixelFormat,    // the format was refused
    CreateContext,     // no rendering context
    MakeCurrent,       // the context could not be made current
};

// One window message, translated. Keys are Win32 virtual-key codes (0..255):
// 27 Escape, 32 Space, letters and digits as their upper-case ASCII codes.
enum class WindowMessageKind {
    Other,         // anything the window code leaves to the system
    Activate,      // the window gained or lost the focus
    CloseRequest,  // the close box, Alt+F4 or the system menu's close
    SystemCommand, // any other system command: minimise, move, size, screen saver ...
    Destroyed,     // the window went away
    KeyDown,       // key pressed or auto-repeated
    KeyUp,         // key released
    Resize,        // the client area changed to width x height
    Quit,          // the quit request posted by platformPostQuit (or by the system)
};

struct WindowMessage {
    WindowMessageKind kind = WindowMessageKind::Other;
    int key = 0;    // KeyDown, KeyUp
    int width = 0;  // Resize: client width in pixels
    int height = 0; // Resize: client height in pixels
};

enum class MessageBoxStyle {
    StopOk,   // stop icon, an OK button
    StopYesNo // stop icon, Yes and No buttons
};

enum class MessageBoxAnswer { Ok, Yes, No };

// Prepares the window system for windows of this class. False when it cannot
// (the window code reports that and gives up).
bool platformRegisterWindowClass(const char* className);
bool platformUnregisterWindowClass(const char* className);

// Puts the display into fullscreen use at width x height for the window about
// to be created, or for the current window when one exists. False when the
// display refuses. platformRestoreDisplayMode undoes it; harmless when not
// switched.
bool platformChangeDisplayMode(int width, int height, int bits);
void platformRestoreDisplayMode();

void platformShowCursor(bool show);

// Creates the window, its drawing surface, the pixel format (double-buffered,
// RGBA, depth at least 24 bits) and a rendering context in which fixed-function
// OpenGL 1.1 works, makes the context current on the calling thread, shows the
// window and gives it the keyboard focus. Returns the step that failed, or
// WindowStep::None.
WindowStep platformCreateWindow(const WindowRequest& request);

// The close steps, each false when the system refused it. Each is only called
// when its object exists.
bool platformReleaseContext(); // makes no context current
bool platformDeleteContext();
bool platformReleaseDeviceContext();
bool platformDestroyWindow();

// The size of the current window's drawable client area in pixels (in
// fullscreen use, the whole screen).
void platformClientSize(int& width, int& height);

// The refresh rate of the display that shows the current window, in Hz; 0
// when the system does not say. The frame pump paces itself by it where the
// buffer swap does not wait for the display.
int platformRefreshRate();

// Takes at most one waiting message for the current window, without waiting.
// False when none is waiting.
bool platformPeekMessage(WindowMessage& message);

// Asks for a Quit message to arrive through platformPeekMessage.
void platformPostQuit();

// Shows the frame drawn since the previous swap.
void platformSwapBuffers();

// Shows a modal message box without owner window and returns the answer.
// Backends that cannot ask anyone (headless) write the text to stderr.
MessageBoxAnswer platformMessageBox(const char* text, const char* caption, MessageBoxStyle style);

// Sets the title of the current window (and what the task bar shows for it).
// Does nothing without a window.
void platformSetWindowTitle(const char* title);

// True when the backend switches the current window between fullscreen and
// windowed use in place, keeping the window and the rendering context (and so
// the textures): the fullscreen toggle then uses platformChangeDisplayMode and
// platformRestoreDisplayMode on the living window. False when the toggle must
// close the window and open a new one, after which the pictures are uploaded
// again.
bool platformTogglesInPlace();

} // namespace korvanthe
