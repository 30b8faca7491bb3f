// The window system on Win32: a window class, the display mode switch, a
// window with a double-buffered pixel format and a WGL rendering context.
// Messages that the system sends to the window procedure (sizes, activation,
// system commands, the destruction) and those that PeekMessageA takes are
// translated into WindowMessages and handed to the window code one at a time.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <deque>

#include "platform/window_system.h"

namespace korvanthe {

namespace {

struct Win32WindowState {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HDC deviceContext = nullptr;
    HGLRC renderContext = nullptr;
    // Translated messages waiting for platformPeekMessage: what the window
    // procedure received, whether sent by the system or dispatched by us.
    std::deque<WindowMessage> translated;
};

Win32WindowState state;

void queue(WindowMessageKind kind, int key = 0, int width = 0, int height = 0) {
    state.translated.push_back({kind, key, width, height});
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        queue(WindowMessageKind::Activate);
        return 0;
    case WM_SYSCOMMAND:
        // Every system command but close is swallowed: screen saver, monitor
        // power-off, move, size, minimise, maximise, the menu key.
        queue((wParam & 0xFFF0) == SC_CLOSE ? WindowMessageKind::CloseRequest
                                            : WindowMessageKind::SystemCommand);
        return 0;
    case WM_CLOSE:
        queue(WindowMessageKind::CloseRequest);
        return 0;
    case WM_DESTROY:
        queue(WindowMessageKind::Destroyed);
        return 0;
    case WM_KEYDOWN:
        queue(WindowMessageKind::KeyDown, static_cast<int>(wParam & 0xFF));
        return 0;
    case WM_KEYUP:
        queue(WindowMessageKind::KeyUp, static_cast<int>(wParam & 0xFF));
        return 0;
    case WM_SIZE:
        queue(WindowMessageKind::Resize, 0, LOWORD(lParam), HIWORD(lParam));
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

PIXELFORMATDESCRIPTOR pixelFormatRequest(const WindowRequest& request) {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = static_cast<BYTE>(request.colourBits);
    format.cDepthBits = static_cast<BYTE>(request.depthBits);
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

} // namespace

bool platformRegisterWindowClass(const char* className) {
    state.instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = state.instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass) != 0;
}

bool platformUnregisterWindowClass(const char* className) {
    const bool unregistered = UnregisterClassA(className, state.instance) != FALSE;
    state.instance = nullptr;
    return unregistered;
}

bool platformChangeDisplayMode(int width, int height, int bits) {
    DEVMODEA mode{};
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void platformRestoreDisplayMode() {
    ChangeDisplaySettingsA(nullptr, 0);
}

void platformShowCursor(bool show) {
    ShowCursor(show ? TRUE : FALSE);
}

WindowStep platformCreateWindow(const WindowRequest& request) {
    DWORD extendedStyle = WS_EX_APPWINDOW;
    DWORD style = WS_POPUP;
    if (!request.fullscreen) {
        extendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        style = WS_OVERLAPPEDWINDOW;
    }
    RECT outer{0, 0, request.width, request.height};
    AdjustWindowRectEx(&outer, style, FALSE, extendedStyle);

    state.window =
        CreateWindowExA(extendedStyle, request.className, request.title,
                        style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, outer.right - outer.left,
                        outer.bottom - outer.top, nullptr, nullptr, state.instance, nullptr);
    if (state.window == nullptr) {
        return WindowStep::CreateWindow;
    }
    state.deviceContext = GetDC(state.window);
    if (state.deviceContext == nullptr) {
        return WindowStep::DeviceContext;
    }
    const PIXELFORMATDESCRIPTOR format = pixelFormatRequest(request);
    const int pixelFormat = ChoosePixelFormat(state.deviceContext, &format);
    if (pixelFormat == 0) {
        return WindowStep::ChoosePixelFormat;
    }
    if (!SetPixelFormat(state.deviceContext, pixelFormat, &format)) {
        return WindowStep::SetPixelFormat;
    }
    state.renderContext = wglCreateContext(state.deviceContext);
    if (state.renderContext == nullptr) {
        return WindowStep::CreateContext;
    }
    if (!wglMakeCurrent(state.deviceContext, state.renderContext)) {
        return WindowStep::MakeCurrent;
    }
    ShowWindow(state.window, SW_SHOW);
    SetForegroundWindow(state.window);
    SetFocus(state.window);
    return WindowStep::None;
}

bool platformReleaseContext() {
    return wglMakeCurrent(nullptr, nullptr) != FALSE;
}

bool platformDeleteContext() {
    const bool deleted = wglDeleteContext(state.renderContext) != FALSE;
    state.renderContext = nullptr;
    return deleted;
}

bool platformReleaseDeviceContext() {
    const bool released = ReleaseDC(state.window, state.deviceContext) != 0;
    state.deviceContext = nullptr;
    return released;
}

bool platformDestroyWindow() {
    const bool destroyed = DestroyWindow(state.window) != FALSE;
    state.window = nullptr;
    // What the old window said on its way out (its destruction above all)
    // concerns a window that no longer exists: after a fullscreen toggle the
    // frame loop goes on with the new window instead of quitting.
    state.translated.clear();
    return destroyed;
}

void platformClientSize(int& width, int& height) {
    RECT client{};
    if (state.window == nullptr || !GetClientRect(state.window, &client)) {
        width = 0;
        height = 0;
        return;
    }
    width = client.right - client.left;
    height = client.bottom - client.top;
}

int platformRefreshRate() {
    if (state.deviceContext == nullptr) {
        return 0;
    }
    // 0 and 1 stand for the hardware's default rate, which the system does not name.
    const int hertz = GetDeviceCaps(state.deviceContext, VREFRESH);
    return hertz > 1 ? hertz : 0;
}

bool platformPeekMessage(WindowMessage& message) {
    if (state.translated.empty()) {
        MSG taken;
        if (!PeekMessageA(&taken, state.window, 0, 0, PM_REMOVE)) {
            return false;
        }
        if (taken.message == WM_QUIT) {
            message = {WindowMessageKind::Quit};
            return true;
        }
        TranslateMessage(&taken);
        DispatchMessageA(&taken);
        if (state.translated.empty()) {
            // Left to DefWindowProcA (mouse movement, painting, ...).
            message = {WindowMessageKind::Other};
            return true;
        }
    }
    message = state.translated.front();
    state.translated.pop_front();
    return true;
}

void platformPostQuit() {
    PostQuitMessage(0);
}

void platformSwapBuffers() {
    if (state.deviceContext != nullptr) {
        SwapBuffers(state.deviceContext);
    }
}

MessageBoxAnswer platformMessageBox(const char* text, const char* caption, MessageBoxStyle style) {
    const bool question = style == MessageBoxStyle::StopYesNo;
    const UINT buttons = question ? MB_YESNO : MB_OK;
    const int pressed = MessageBoxA(nullptr, text, caption, buttons | MB_ICONSTOP);
    if (!question) {
        return MessageBoxAnswer::Ok;
    }
    return pressed == IDYES ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
}

// A toggle closes the window and opens a new one with the other styles and
// display mode; the window code uploads the pictures into the new context.
void platformSetWindowTitle(const char* title) {
    if (state.window != nullptr && title != nullptr) {
        SetWindowTextA(state.window, title);
    }
}

bool platformTogglesInPlace() {
    return false;
}

} // namespace korvanthe
