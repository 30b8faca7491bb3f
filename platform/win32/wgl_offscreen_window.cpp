// The headless window system on Windows, for the tests and tools that link
// the headless backend there: the same virtual window (injected messages,
// message boxes answered by the caller, read-back pictures) as the EGL one on
// Linux, drawn by a WGL context of a hidden window into a framebuffer object.
// Under Wine this needs an X display (xvfb-run does).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <deque>

#include "platform/headless/egl_window.h"

namespace korvanthe {

namespace {

constexpr const char* hiddenClassName = "KorvantheOffscreen";

// The framebuffer functions are not OpenGL 1.1; they are looked up once the
// context exists.
struct FramebufferFunctions {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
};

struct OffscreenWindowState {
    // The hidden window, its WGL context and the offscreen picture.
    HINSTANCE instance = nullptr;
    bool hiddenClassRegistered = false;
    HWND hiddenWindow = nullptr;
    HDC deviceContext = nullptr;
    int pixelFormat = 0;
    HGLRC context = nullptr;
    FramebufferFunctions gl;
    GLuint framebuffer = 0;
    GLuint colourBuffer = 0;
    GLuint depthBuffer = 0;
    int width = 0;
    int height = 0;

    // The virtual window.
    bool classRegistered = false;
    bool windowExists = false;
    bool fullscreen = false;
    bool cursorShown = true;
    std::deque<WindowMessage> messages;
    std::vector<HeadlessBox> boxes;
    int swaps = 0;

    // The caller's choices.
    bool fullscreenAvailable = true;
    bool classRegistrationWorks = true;
    bool togglesInPlace = true;
    MessageBoxAnswer questionAnswer = MessageBoxAnswer::Yes;
    WindowStep failingStep = WindowStep::None;
};

OffscreenWindowState state;

template <typename Function> bool lookUp(Function& function, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(wglGetProcAddress(name)));
    return function != nullptr;
}

bool lookUpFramebufferFunctions(FramebufferFunctions& gl) {
    return lookUp(gl.genFramebuffers, "glGenFramebuffers") &&
           lookUp(gl.deleteFramebuffers, "glDeleteFramebuffers") &&
           lookUp(gl.bindFramebuffer, "glBindFramebuffer") &&
           lookUp(gl.genRenderbuffers, "glGenRenderbuffers") &&
           lookUp(gl.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           lookUp(gl.bindRenderbuffer, "glBindRenderbuffer") &&
           lookUp(gl.renderbufferStorage, "glRenderbufferStorage") &&
           lookUp(gl.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           lookUp(gl.checkFramebufferStatus, "glCheckFramebufferStatus");
}

bool createFramebuffer(int width, int height) {
    FramebufferFunctions& gl = state.gl;
    if (!lookUpFramebufferFunctions(gl)) {
        return false;
    }
    gl.genRenderbuffers(1, &state.colourBuffer);
    gl.bindRenderbuffer(GL_RENDERBUFFER, state.colourBuffer);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    gl.genRenderbuffers(1, &state.depthBuffer);
    gl.bindRenderbuffer(GL_RENDERBUFFER, state.depthBuffer);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    gl.genFramebuffers(1, &state.framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                               state.colourBuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                               state.depthBuffer);
    state.width = width;
    state.height = height;
    return gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void deleteFramebuffer() {
    FramebufferFunctions& gl = state.gl;
    if (state.framebuffer != 0) {
        gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
        gl.deleteFramebuffers(1, &state.framebuffer);
    }
    if (state.colourBuffer != 0) {
        gl.deleteRenderbuffers(1, &state.colourBuffer);
    }
    if (state.depthBuffer != 0) {
        gl.deleteRenderbuffers(1, &state.depthBuffer);
    }
    state.framebuffer = 0;
    state.colourBuffer = 0;
    state.depthBuffer = 0;
}

bool failsAt(WindowStep step) {
    return state.failingStep == step;
}

bool registerHiddenClass() {
    if (state.hiddenClassRegistered) {
        return true;
    }
    state.instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = state.instance;
    windowClass.lpszClassName = hiddenClassName;
    state.hiddenClassRegistered = RegisterClassA(&windowClass) != 0;
    return state.hiddenClassRegistered;
}

// The hidden window only carries the pixel format that WGL needs for a
// context; it is never shown and never gets messages the tests see.
bool createHiddenWindow() {
    if (!registerHiddenClass()) {
        return false;
    }
    state.hiddenWindow = CreateWindowExA(0, hiddenClassName, "Korvanthe offscreen", WS_POPUP, 0, 0,
                                         16, 16, nullptr, nullptr, state.instance, nullptr);
    return state.hiddenWindow != nullptr;
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

void destroyHiddenWindow() {
    if (state.deviceContext != nullptr) {
        ReleaseDC(state.hiddenWindow, state.deviceContext);
        state.deviceContext = nullptr;
    }
    if (state.hiddenWindow != nullptr) {
        DestroyWindow(state.hiddenWindow);
        state.hiddenWindow = nullptr;
    }
}

} // namespace

// --- the window system ---------------------------------------------------

bool platformRegisterWindowClass(const char*) {
    state.classRegistered = state.classRegistrationWorks;
    return state.classRegistered;
}

bool platformUnregisterWindowClass(const char*) {
    const bool wasRegistered = state.classRegistered;
    state.classRegistered = false;
    return wasRegistered;
}

bool platformChangeDisplayMode(int, int, int) {
    if (!state.fullscreenAvailable) {
        return false;
    }
    state.fullscreen = true;
    return true;
}

void platformRestoreDisplayMode() {
    state.fullscreen = false;
}

void platformShowCursor(bool show) {
    state.cursorShown = show;
}

WindowStep platformCreateWindow(const WindowRequest& request) {
    if (failsAt(WindowStep::CreateWindow) || !createHiddenWindow()) {
        return WindowStep::CreateWindow;
    }
    state.windowExists = true;
    if (failsAt(WindowStep::DeviceContext) ||
        (state.deviceContext = GetDC(state.hiddenWindow)) == nullptr) {
        return WindowStep::DeviceContext;
    }
    const PIXELFORMATDESCRIPTOR format = offscreenPixelFormat();
    if (failsAt(WindowStep::ChoosePixelFormat) ||
        (state.pixelFormat = ChoosePixelFormat(state.deviceContext, &format)) == 0) {
        return WindowStep::ChoosePixelFormat;
    }
    if (failsAt(WindowStep::SetPixelFormat) ||
        !SetPixelFormat(state.deviceContext, state.pixelFormat, &format)) {
        return WindowStep::SetPixelFormat;
    }
    if (failsAt(WindowStep::CreateContext) ||
        (state.context = wglCreateContext(state.deviceContext)) == nullptr) {
        return WindowStep::CreateContext;
    }
    if (failsAt(WindowStep::MakeCurrent) || !wglMakeCurrent(state.deviceContext, state.context)) {
        return WindowStep::MakeCurrent;
    }
    if (!createFramebuffer(request.width, request.height)) {
        return WindowStep::MakeCurrent;
    }
    return WindowStep::None;
}

bool platformReleaseContext() {
    if (state.context == nullptr) {
        return false;
    }
    // The framebuffer belongs to the context; it can only go while current.
    // A context that never became current is released already (WGL would
    // refuse to release it, unlike EGL).
    if (wglGetCurrentContext() != state.context) {
        return true;
    }
    deleteFramebuffer();
    return wglMakeCurrent(nullptr, nullptr) != FALSE;
}

bool platformDeleteContext() {
    const bool deleted = state.context != nullptr && wglDeleteContext(state.context) != FALSE;
    state.context = nullptr;
    return deleted;
}

bool platformReleaseDeviceContext() {
    const bool released =
        state.deviceContext != nullptr && ReleaseDC(state.hiddenWindow, state.deviceContext) != 0;
    state.deviceContext = nullptr;
    return released;
}

bool platformDestroyWindow() {
    const bool existed = state.windowExists;
    state.windowExists = false;
    destroyHiddenWindow();
    return existed;
}

void platformClientSize(int& width, int& height) {
    width = state.width;
    height = state.height;
}

bool platformPeekMessage(WindowMessage& message) {
    if (state.messages.empty()) {
        return false;
    }
    message = state.messages.front();
    state.messages.pop_front();
    return true;
}

void platformPostQuit() {
    state.messages.push_back({WindowMessageKind::Quit});
}

// There is nothing to show: the framebuffer is read back directly.
void platformSwapBuffers() {
    if (state.context != nullptr) {
        glFlush();
    }
    ++state.swaps;
}

MessageBoxAnswer platformMessageBox(const char* text, const char* caption, MessageBoxStyle style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    state.boxes.push_back({text, caption, style});
    return style == MessageBoxStyle::StopYesNo ? state.questionAnswer : MessageBoxAnswer::Ok;
}

bool platformTogglesInPlace() {
    return state.togglesInPlace;
}

// --- direct use by tests and the capture tool ----------------------------

bool openHeadlessContext() {
    if (state.context != nullptr && state.framebuffer != 0) {
        return wglMakeCurrent(state.deviceContext, state.context) != FALSE;
    }
    closeHeadlessContext();
    const WindowRequest request{"OpenGL", "Korvanthe", headlessWidth, headlessHeight,
                                32,       24,          false};
    const WindowStep failed = platformCreateWindow(request);
    if (failed != WindowStep::None) {
        std::fprintf(stderr,
                     "headless: no offscreen OpenGL context (WGL on a hidden window, "
                     "failed step %d; under Wine an X display is needed)\n",
                     static_cast<int>(failed));
        closeHeadlessContext();
        return false;
    }
    glViewport(0, 0, headlessWidth, headlessHeight);
    return true;
}

void closeHeadlessContext() {
    if (state.context != nullptr) {
        platformReleaseContext();
        platformDeleteContext();
    }
    destroyHiddenWindow();
    state.windowExists = false;
}

void readPixels(std::vector<uint32_t>& pixels) {
    pixels.clear();
    if (state.context == nullptr || state.framebuffer == 0) {
        return;
    }
    const int width = state.width;
    const int height = state.height;
    std::vector<uint32_t> bottomUp(static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glFinish();
    glReadPixels(0, 0, width, height, GL_BGRA_EXT, GL_UNSIGNED_BYTE, bottomUp.data());
    pixels.resize(bottomUp.size());
    for (int y = 0; y < height; ++y) {
        const uint32_t* from = &bottomUp[static_cast<size_t>(height - 1 - y) * width];
        uint32_t* to = &pixels[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            // BGRA bytes are the word 0xAARRGGBB on a little-endian machine.
            to[x] = from[x] & 0x00FFFFFFu;
        }
    }
}

uint32_t readPixel(int x, int y) {
    if (state.context == nullptr || x < 0 || y < 0 || x >= state.width || y >= state.height) {
        return 0;
    }
    uint32_t pixel = 0;
    glFinish();
    glReadPixels(x, state.height - 1 - y, 1, 1, GL_BGRA_EXT, GL_UNSIGNED_BYTE, &pixel);
    return pixel & 0x00FFFFFFu;
}

void injectKey(int virtualKey, bool down) {
    state.messages.push_back(
        {down ? WindowMessageKind::KeyDown : WindowMessageKind::KeyUp, virtualKey});
}

void injectCloseRequest() {
    state.messages.push_back({WindowMessageKind::CloseRequest});
}

void injectQuit() {
    state.messages.push_back({WindowMessageKind::Quit});
}

void injectResize(int width, int height) {
    state.messages.push_back({WindowMessageKind::Resize, 0, width, height});
}

void resetHeadlessWindowSystem() {
    state.fullscreenAvailable = true;
    state.classRegistrationWorks = true;
    state.togglesInPlace = true;
    state.questionAnswer = MessageBoxAnswer::Yes;
    state.failingStep = WindowStep::None;
    state.messages.clear();
    state.boxes.clear();
    state.swaps = 0;
}

void setHeadlessFullscreenAvailable(bool available) {
    state.fullscreenAvailable = available;
}
void setHeadlessQuestionAnswer(MessageBoxAnswer answer) {
    state.questionAnswer = answer;
}
void setHeadlessFailingStep(WindowStep step) {
    state.failingStep = step;
}
void setHeadlessTogglesInPlace(bool inPlace) {
    state.togglesInPlace = inPlace;
}
void setHeadlessClassRegistrationWorks(bool works) {
    state.classRegistrationWorks = works;
}

const std::vector<HeadlessBox>& headlessMessageBoxes() {
    return state.boxes;
}
int headlessSwapCount() {
    return state.swaps;
}
bool headlessWindowExists() {
    return state.windowExists;
}
bool headlessFullscreen() {
    return state.fullscreen;
}
bool headlessCursorShown() {
    return state.cursorShown;
}

} // namespace korvanthe
