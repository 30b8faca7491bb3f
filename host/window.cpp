#include "host/window.h"

#include "host/frame_pacing.h"
#include "host/quit_request.h"
#include "host/textures.h"
#include "platform/gl.h"

namespace korvanthe {

WindowState windowState;

namespace {

constexpr const char* windowClassName = "OpenGL";
constexpr const char* errorCaption = "Error";
// Depth wish of the pixel format; backends give at least 24 bits.
constexpr int DepthBits = 32;

void showError(const char* text) {
    platformMessageBox(text, errorCaption, MessageBoxStyle::StopOk);
}

void applyViewport(int x, int y, int width, int height) {
    if (height == 0) {
        height = 1;
    }
    glViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The near plane is the single-precision 0.1 widened to double.
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                   static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Sizes the viewport for a client area. Windowed, the viewport is the client
// area. In fullscreen use on a screen that is not the picture's size (desktop
// fullscreen keeps the screen's own mode), the picture is scaled to the
// largest rectangle of its own shape and centred; the clear fills the bars
// black.
void fitViewport(int clientWidth, int clientHeight) {
    const int width = windowState.width;
    const int height = windowState.height;
    const bool sameSize = clientWidth == width && clientHeight == height;
    if (!windowState.fullscreen || sameSize || width <= 0 || height <= 0 || clientWidth <= 0 ||
        clientHeight <= 0) {
        setViewport(clientWidth, clientHeight);
        return;
    }
    int pictureWidth = clientWidth;
    int pictureHeight = clientHeight;
    const long long wide = static_cast<long long>(clientWidth) * height;
    const long long tall = static_cast<long long>(clientHeight) * width;
    if (wide >= tall) {
        pictureWidth = static_cast<int>(tall / height);
    } else {
        pictureHeight = static_cast<int>(wide / width);
    }
    applyViewport((clientWidth - pictureWidth) / 2, (clientHeight - pictureHeight) / 2,
                  pictureWidth, pictureHeight);
}

void fitViewportToClient() {
    int clientWidth = 0;
    int clientHeight = 0;
    platformClientSize(clientWidth, clientHeight);
    fitViewport(clientWidth, clientHeight);
}

// Switches the display for fullscreen use. When the display refuses, the user
// chooses between windowed use and the end of the program. False to end.
bool enterFullscreen() {
    if (platformChangeDisplayMode(windowState.width, windowState.height, windowState.bits)) {
        platformShowCursor(false);
        return true;
    }
    const MessageBoxAnswer answer = platformMessageBox("Failed to go fullscreen. Run windowed?",
                                                       errorCaption, MessageBoxStyle::StopYesNo);
    if (answer == MessageBoxAnswer::Yes) {
        windowState.fullscreen = false;
        return true;
    }
    showError("Program will now close.");
    return false;
}

const char* creationFailureText(WindowStep step) {
    switch (step) {
    case WindowStep::CreateWindow:
        return "Failed to create window.";
    case WindowStep::DeviceContext:
        return "Failed to create OpenGL device context.";
    case WindowStep::ChoosePixelFormat:
        return "Failed to find pixel format.";
    case WindowStep::SetPixelFormat:
        return "Failed to set pixel format.";
    case WindowStep::CreateContext:
        return "Failed to create Render Context.";
    case WindowStep::MakeCurrent:
        return "Failed to make Render Context current.";
    case WindowStep::None:
        break;
    }
    return "";
}

// The window system replaces nothing: the same window and context switch
// between fullscreen and windowed use, and the pictures stay.
bool toggleInPlace() {
    if (windowState.fullscreen) {
        platformRestoreDisplayMode();
        platformShowCursor(true);
        windowState.fullscreen = false;
    } else {
        windowState.fullscreen = true;
        if (!enterFullscreen()) {
            return false;
        }
    }
    fitViewportToClient();
    return true;
}

// The window system gives a new window and context for the other use; the
// pictures are uploaded into the new context (the old textures went with the
// old one).
bool toggleByReopening() {
    const bool wanted = !windowState.fullscreen;
    closeWindow();
    const std::string title = windowState.title;
    if (!openWindow(title.c_str(), windowState.width, windowState.height, windowState.bits,
                    wanted)) {
        return false;
    }
    uploadPicturesAgain();
    return true;
}

} // namespace

bool createDisplay(int width, int height, int bits, const char* title, bool fullscreen) {
    // Every display starts clean: a key still marked down from an earlier
    // run in the same process (the Escape that ended it) would end this one
    // at its first frame.
    windowState.keyDown.fill(false);
    windowState.fullscreen = fullscreen;
    windowState.title = title;
    windowState.width = width;
    windowState.height = height;
    windowState.bits = bits;
    return openWindow(title, width, height, bits, fullscreen);
}

bool openWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    windowState.fullscreen = fullscreen;
    if (!platformRegisterWindowClass(windowClassName)) {
        showError("Failed to register window class.");
        return false;
    }
    windowState.classRegistered = true;
    if (windowState.fullscreen && !enterFullscreen()) {
        return false;
    }

    const WindowRequest request{windowClassName,       title, width, height, bits, DepthBits,
                                windowState.fullscreen};
    const WindowStep failed = platformCreateWindow(request);
    if (failed != WindowStep::None) {
        // The steps before the failing one made their objects.
        windowState.windowExists = failed > WindowStep::CreateWindow;
        windowState.deviceContextExists = failed > WindowStep::DeviceContext;
        windowState.renderContextExists = failed > WindowStep::CreateContext;
        closeWindow();
        showError(creationFailureText(failed));
        return false;
    }
    windowState.windowExists = true;
    windowState.deviceContextExists = true;
    windowState.renderContextExists = true;
    fitViewportToClient();
    restartFramePacing();
    return true;
}

void closeWindow() {
    if (windowState.fullscreen) {
        platformRestoreDisplayMode();
        platformShowCursor(true);
    }
    if (windowState.renderContextExists) {
        if (!platformReleaseContext()) {
            showError("Failed to release Render Context.");
        }
        if (!platformDeleteContext()) {
            showError("Failed to delete Render Context.");
        }
        windowState.renderContextExists = false;
    }
    if (windowState.deviceContextExists) {
        if (!platformReleaseDeviceContext()) {
            showError("Failed to release Device Context.");
        }
        windowState.deviceContextExists = false;
    }
    if (windowState.windowExists) {
        if (!platformDestroyWindow()) {
            showError("Failed to destroy window.");
        }
        windowState.windowExists = false;
    }
    // Only a registered class is unregistered: a second close (the main
    // sequence's, after a failed toggle already closed) reports no failure
    // that did not happen.
    if (windowState.classRegistered) {
        if (!platformUnregisterWindowClass(windowClassName)) {
            showError("Failed to unregister window class.");
        }
        windowState.classRegistered = false;
    }
}

void setViewport(int width, int height) {
    applyViewport(0, 0, width, height);
}

void windowProcedure(const WindowMessage& message) {
    switch (message.kind) {
    case WindowMessageKind::CloseRequest:
    case WindowMessageKind::Destroyed:
        platformPostQuit();
        break;
    case WindowMessageKind::KeyDown:
    case WindowMessageKind::KeyUp:
        if (message.key >= 0 && message.key < static_cast<int>(windowState.keyDown.size())) {
            windowState.keyDown[message.key] = message.kind == WindowMessageKind::KeyDown;
        }
        break;
    case WindowMessageKind::Resize:
        if (windowState.renderContextExists) {
            fitViewport(message.width, message.height);
        }
        break;
    case WindowMessageKind::Activate:
    case WindowMessageKind::SystemCommand: // minimise, move, size, screen saver: swallowed
    case WindowMessageKind::Quit:
    case WindowMessageKind::Other:
        break;
    }
}

bool pumpFrame() {
    // SIGINT or SIGTERM: the same way out as a quit message.
    if (quitRequested()) {
        return false;
    }
    WindowMessage message;
    if (platformPeekMessage(message)) {
        if (message.kind == WindowMessageKind::Quit) {
            return false;
        }
        windowProcedure(message);
    }
    if (windowState.keyDown[KeyEscape]) {
        return false;
    }
    if (!windowState.renderContextExists) {
        return false;
    }
    platformSwapBuffers();
    paceFrame();
    if (windowState.keyDown[KeySpace]) {
        windowState.keyDown[KeySpace] = false;
        return platformTogglesInPlace() ? toggleInPlace() : toggleByReopening();
    }
    return true;
}

} // namespace korvanthe
