// The window system on SDL2. Its steps map onto SDL as follows: the window
// class is SDL's video subsystem; the display mode is the window's desktop
// fullscreen (modern displays and Wayland do not switch modes: the window
// code scales the picture into the screen instead); the device context and
// pixel format are chosen by SDL with the window from the attributes set
// before it; the rendering context is SDL's GL context.
#include "platform/sdl2/sdl_window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/sdl2/sdl_x11_window_size.h"

namespace korvanthe {

namespace {

struct SdlWindowState {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool videoReady = false;
    std::optional<MessageBoxAnswer> automaticAnswer;
    // Why the video subsystem was refused or failed; said with the window
    // code's failure message, on stderr, since there is no screen to show it.
    std::string noDisplayReason;
    // The drawable size the window code last learnt, and when it was last
    // compared with the real one.
    int knownWidth = 0;
    int knownHeight = 0;
    Uint32 lastSizeCheck = 0;
};

SdlWindowState state;

// How often an idle message queue is used to compare the window's real size
// with the one the window code knows.
constexpr Uint32 SizeCheckMilliseconds = 250;

// Win32 virtual-key codes for the SDL keys that have one here; -1 otherwise.
int virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return 'A' + static_cast<int>(key - SDLK_a);
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return '0' + static_cast<int>(key - SDLK_0);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return 0x70 + static_cast<int>(key - SDLK_F1);
    }
    switch (key) {
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_TAB:
        return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return 13;
    case SDLK_ESCAPE:
        return 27;
    case SDLK_SPACE:
        return 32;
    case SDLK_LEFT:
        return 37;
    case SDLK_UP:
        return 38;
    case SDLK_RIGHT:
        return 39;
    case SDLK_DOWN:
        return 40;
    case SDLK_PAGEUP:
        return 0x21;
    case SDLK_PAGEDOWN:
        return 0x22;
    case SDLK_END:
        return 0x23;
    case SDLK_HOME:
        return 0x24;
    case SDLK_COMMA:
        return 0xBC;
    case SDLK_MINUS:
        return 0xBD;
    case SDLK_PERIOD:
        return 0xBE;
    default:
        return -1;
    }
}

// The size of the drawable client area. On X11 the window's real size: SDL
// believes a desktop-fullscreen window covers the screen even where no
// window manager made it so, and a picture laid out for the screen would be
// cropped to the window.
void drawableSize(int& width, int& height) {
    width = 0;
    height = 0;
    if (state.window == nullptr) {
        return;
    }
    if (!x11WindowSize(state.window, width, height)) {
        SDL_GL_GetDrawableSize(state.window, &width, &height);
    }
    state.knownWidth = width;
    state.knownHeight = height;
}

// A resize that SDL did not report. SDL drops a resize to the size it
// already believes in: a window manager that makes a window fullscreen some
// time after SDL assumed so sends one that never arrives. Checked now and
// then while no message waits, since each check asks the X server.
bool unreportedResize(WindowMessage& message) {
    const Uint32 now = SDL_GetTicks();
    if (state.window == nullptr || now - state.lastSizeCheck < SizeCheckMilliseconds) {
        return false;
    }
    state.lastSizeCheck = now;
    const int knownWidth = state.knownWidth;
    const int knownHeight = state.knownHeight;
    message = WindowMessage{};
    message.kind = WindowMessageKind::Resize;
    drawableSize(message.width, message.height);
    return message.width != knownWidth || message.height != knownHeight;
}

// SDL falls back to these where no display is reachable: they open no
// window anyone can see, and the demo would run on invisibly.
bool showsNothing(const char* driver) {
    return driver != nullptr &&
           (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

bool noDisplayNamed() {
    return std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr;
}

constexpr const char* noDisplayText = "no display (DISPLAY and WAYLAND_DISPLAY are unset)";

std::string invisibleDriverReason(const char* driver) {
    if (noDisplayNamed()) {
        return noDisplayText;
    }
    return std::string("SDL video driver \"") + driver + "\" shows no window";
}

WindowMessage translateWindowEvent(const SDL_WindowEvent& event) {
    WindowMessage message;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        message.kind = WindowMessageKind::CloseRequest;
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        message.kind = WindowMessageKind::Resize;
        drawableSize(message.width, message.height);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
        message.kind = WindowMessageKind::Activate;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_MOVED:
        message.kind = WindowMessageKind::SystemCommand;
        break;
    default:
        message.kind = WindowMessageKind::Other;
        break;
    }
    return message;
}

WindowMessage translate(const SDL_Event& event) {
    WindowMessage message;
    switch (event.type) {
    case SDL_QUIT:
        message.kind = WindowMessageKind::Quit;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int key = virtualKey(event.key.keysym.sym);
        if (key >= 0) {
            message.kind =
                event.type == SDL_KEYDOWN ? WindowMessageKind::KeyDown : WindowMessageKind::KeyUp;
            message.key = key;
        }
        break;
    }
    case SDL_WINDOWEVENT:
        message = translateWindowEvent(event.window);
        break;
    default:
        break;
    }
    return message;
}

void setContextAttributes(const WindowRequest& request) {
    SDL_GL_ResetAttributes();
    // Fixed-function OpenGL 1.1 needs a compatibility context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    const int channelBits = request.colourBits >= 24 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits);
    // 32-bit depth buffers are rare; 24 bits is what the request needs at least.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits > 24 ? 24 : request.depthBits);
}

} // namespace

void answerMessageBoxesWith(MessageBoxAnswer answer) {
    state.automaticAnswer = answer;
}

bool platformRegisterWindowClass(const char*) {
    if (state.videoReady) {
        return true;
    }
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Without a display named, the only screen left is the console's own
    // (KMS/DRM). Trying X11 and Wayland there only fills stderr with their
    // libraries' complaints; a driver the user chose is left alone.
    const bool consoleOnly = noDisplayNamed() && std::getenv("SDL_VIDEODRIVER") == nullptr;
    if (consoleOnly) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "kmsdrm");
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.noDisplayReason =
            consoleOnly ? std::string(noDisplayText) : std::string("SDL: ") + SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (showsNothing(driver)) {
        // Safety choice: rather than an invisible run that nobody can end
        // with a key, the demo ends at once through its failure path.
        state.noDisplayReason = invisibleDriverReason(driver);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    state.noDisplayReason.clear();
    state.videoReady = true;
    return true;
}

bool platformUnregisterWindowClass(const char*) {
    if (!state.videoReady) {
        return false;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    state.videoReady = false;
    return true;
}

bool platformChangeDisplayMode(int, int, int) {
    if (state.window != nullptr) {
        return SDL_SetWindowFullscreen(state.window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    }
    // The window about to be created covers the desktop in its own mode:
    // that works wherever the desktop's mode can be read.
    SDL_DisplayMode desktop;
    return SDL_GetDesktopDisplayMode(0, &desktop) == 0;
}

void platformRestoreDisplayMode() {
    if (state.window != nullptr) {
        SDL_SetWindowFullscreen(state.window, 0);
    }
}

void platformShowCursor(bool show) {
    if (state.videoReady) {
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    }
}

WindowStep platformCreateWindow(const WindowRequest& request) {
    setContextAttributes(request);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    if (request.fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    state.window = SDL_CreateWindow(request.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    request.width, request.height, flags);
    if (state.window == nullptr) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return WindowStep::CreateWindow;
    }
    state.context = SDL_GL_CreateContext(state.window);
    if (state.context == nullptr) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return WindowStep::CreateContext;
    }
    if (SDL_GL_MakeCurrent(state.window, state.context) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return WindowStep::MakeCurrent;
    }
    // Frames come as fast as the swap allows: with the display's refresh
    // where the driver can wait for it.
    SDL_GL_SetSwapInterval(1);
    SDL_RaiseWindow(state.window);
    return WindowStep::None;
}

bool platformReleaseContext() {
    return state.window != nullptr && SDL_GL_MakeCurrent(state.window, nullptr) == 0;
}

bool platformDeleteContext() {
    if (state.context == nullptr) {
        return false;
    }
    SDL_GL_DeleteContext(state.context);
    state.context = nullptr;
    return true;
}

bool platformReleaseDeviceContext() {
    return state.window != nullptr;
}

bool platformDestroyWindow() {
    if (state.window == nullptr) {
        return false;
    }
    SDL_DestroyWindow(state.window);
    state.window = nullptr;
    return true;
}

void platformClientSize(int& width, int& height) {
    drawableSize(width, height);
}

int platformRefreshRate() {
    if (state.window == nullptr) {
        return 0;
    }
    const int display = SDL_GetWindowDisplayIndex(state.window);
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        return 0;
    }
    return mode.refresh_rate;
}

bool platformPeekMessage(WindowMessage& message) {
    SDL_Event event;
    if (!state.videoReady) {
        return false;
    }
    if (SDL_PollEvent(&event) == 0) {
        return unreportedResize(message);
    }
    message = translate(event);
    return true;
}

void platformPostQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

void platformSwapBuffers() {
    if (state.window != nullptr) {
        SDL_GL_SwapWindow(state.window);
    }
}

MessageBoxAnswer platformMessageBox(const char* text, const char* caption, MessageBoxStyle style) {
    const bool question = style == MessageBoxStyle::StopYesNo;
    if (!state.noDisplayReason.empty()) {
        // One line that says both what failed and why; no box can be shown.
        std::fprintf(stderr, "korvanthe: %s: %s\n", state.noDisplayReason.c_str(), text);
        return question ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    }
    if (state.automaticAnswer) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return question ? *state.automaticAnswer : MessageBoxAnswer::Ok;
    }
    const SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0,
         "OK"}};
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"}};
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_ERROR;
    box.window = nullptr; // no owner, like the system's modal boxes
    box.title = caption;
    box.message = text;
    box.numbuttons = question ? 2 : 1;
    box.buttons = question ? yesNoButtons : okButton;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        // Nobody can be asked (no display): say it on stderr, and go on
        // windowed rather than refuse what the user never saw.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return question ? MessageBoxAnswer::Yes : MessageBoxAnswer::Ok;
    }
    if (!question) {
        return MessageBoxAnswer::Ok;
    }
    return pressed == 1 ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
}

void platformSetWindowTitle(const char* title) {
    if (state.window != nullptr && title != nullptr) {
        SDL_SetWindowTitle(state.window, title);
    }
}

bool platformTogglesInPlace() {
    return true;
}

} // namespace korvanthe
