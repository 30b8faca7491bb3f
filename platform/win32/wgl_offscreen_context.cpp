// The headless window's context on Windows, for the tests and tools that
// link the headless backend there: WGL needs a window with a pixel format for
// a context, so a hidden one carries it; the virtual window draws into a
// framebuffer object as on Linux. Under Wine this needs an X display
// (xvfb-run gives one).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/headless/offscreen_context.h"

namespace korvanthe {

namespace {

constexpr const char* hiddenClassName = "KorvantheOffscreen";

struct WglContextState {
    HINSTANCE instance = nullptr;
    bool hiddenClassRegistered = false;
    HWND hiddenWindow = nullptr;
    HDC deviceContext = nullptr;
    int pixelFormat = 0;
    HGLRC context = nullptr;
};

WglContextState wgl;

bool registerHiddenClass() {
    if (wgl.hiddenClassRegistered) {
        return true;
    }
    wgl.instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = wgl.instance;
    windowClass.lpszClassName = hiddenClassName;
    wgl.hiddenClassRegistered = RegisterClassA(&windowClass) != 0;
    return wgl.hiddenClassRegistered;
}

PIXELFORMATDESCRIPTOR offscreenPixelFormat() {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = 24;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

} // namespace

// The hidden window only carries the pixel format that WGL needs for a
// context; it is never shown and never gets messages the tests see.
bool createContextCarrier() {
    if (!registerHiddenClass()) {
        return false;
    }
    wgl.hiddenWindow = CreateWindowExA(0, hiddenClassName, "Korvanthe offscreen", WS_POPUP, 0, 0,
                                       16, 16, nullptr, nullptr, wgl.instance, nullptr);
    return wgl.hiddenWindow != nullptr;
}

bool openContextDevice() {
    wgl.deviceContext = GetDC(wgl.hiddenWindow);
    return wgl.deviceContext != nullptr;
}

bool offscreenPixelFormatAvailable() {
    const PIXELFORMATDESCRIPTOR format = offscreenPixelFormat();
    wgl.pixelFormat = ChoosePixelFormat(wgl.deviceContext, &format);
    return wgl.pixelFormat != 0;
}

bool selectOffscreenPixelFormat() {
    const PIXELFORMATDESCRIPTOR format = offscreenPixelFormat();
    return SetPixelFormat(wgl.deviceContext, wgl.pixelFormat, &format) != FALSE;
}

bool createOffscreenContext() {
    wgl.context = wglCreateContext(wgl.deviceContext);
    return wgl.context != nullptr;
}

bool makeOffscreenContextCurrent() {
    return wglMakeCurrent(wgl.deviceContext, wgl.context) != FALSE;
}

bool offscreenContextExists() {
    return wgl.context != nullptr;
}

bool releaseOffscreenContext(void (*whileCurrent)()) {
    if (wgl.context == nullptr) {
        return false;
    }
    // A context that never became current is released already (WGL would
    // refuse to release it, unlike EGL).
    if (wglGetCurrentContext() != wgl.context) {
        return true;
    }
    whileCurrent();
    return wglMakeCurrent(nullptr, nullptr) != FALSE;
}

bool deleteOffscreenContext() {
    const bool deleted = wgl.context != nullptr && wglDeleteContext(wgl.context) != FALSE;
    wgl.context = nullptr;
    return deleted;
}

bool releaseContextDevice() {
    const bool released =
        wgl.deviceContext != nullptr && ReleaseDC(wgl.hiddenWindow, wgl.deviceContext) != 0;
    wgl.deviceContext = nullptr;
    return released;
}

void destroyContextCarrier() {
    if (wgl.deviceContext != nullptr) {
        ReleaseDC(wgl.hiddenWindow, wgl.deviceContext);
        wgl.deviceContext = nullptr;
    }
    if (wgl.hiddenWindow != nullptr) {
        DestroyWindow(wgl.hiddenWindow);
        wgl.hiddenWindow = nullptr;
    }
}

// wglGetProcAddress's PROC goes through void* on its way to the caller's
// function type (a direct cast between function types draws a warning).
void* offscreenProcAddress(const char* name) {
    return reinterpret_cast<void*>(wglGetProcAddress(name));
}

const char* offscreenContextDescription() {
    return "WGL on a hidden window, which under Wine needs an X display";
}

} // namespace korvanthe
