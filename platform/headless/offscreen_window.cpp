// The headless window system: a virtual window (injected messages, message
// boxes answered by the caller) whose picture is a framebuffer object read
// back by the caller. The same on every system; the OpenGL context comes from
// platform/headless/offscreen_context.h (EGL surfaceless on Linux, WGL on a
// hidden window on Windows, where Wine needs an X display for it).
#include "platform/headless/egl_window.h"

#include <GL/gl.h>
#include <GL/glext.h>
// On Windows GL/gl.h brings in windows.h, whose CreateWindow macro would
// rename WindowStep::CreateWindow here.
#undef CreateWindow

#include <cstdio>
#include <deque>

#include "platform/headless/offscreen_context.h"

namespace korvanthe {

namespace {

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

struct HeadlessWindowState {
    // The offscreen picture.
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
    std::string title;

    // The caller's choices.
    bool fullscreenAvailable = true;
    bool classRegistrationWorks = true;
    bool togglesInPlace = true;
    MessageBoxAnswer questionAnswer = MessageBoxAnswer::Yes;
    WindowStep failingStep = WindowStep::None;
};

HeadlessWindowState state;

template <typename Function> bool lookUp(Function& function, const char* name) {
    function = reinterpret_cast<Function>(offscreenProcAddress(name));
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
    // One context at a time: one that openHeadlessContext left goes first,
    // with whatever carried it.
    if (offscreenContextExists()) {
        platformReleaseContext();
        platformDeleteContext();
        destroyContextCarrier();
    }
    if (failsAt(WindowStep::CreateWindow) || !createContextCarrier()) {
        return WindowStep::CreateWindow;
    }
    state.windowExists = true;
    state.title = request.title != nullptr ? request.title : "";
    if (failsAt(WindowStep::DeviceContext) || !openContextDevice()) {
        return WindowStep::DeviceContext;
    }
    if (failsAt(WindowStep::ChoosePixelFormat) || !offscreenPixelFormatAvailable()) {
        return WindowStep::ChoosePixelFormat;
    }
    if (failsAt(WindowStep::SetPixelFormat) || !selectOffscreenPixelFormat()) {
        return WindowStep::SetPixelFormat;
    }
    if (failsAt(WindowStep::CreateContext) || !createOffscreenContext()) {
        return WindowStep::CreateContext;
    }
    if (failsAt(WindowStep::MakeCurrent) || !makeOffscreenContextCurrent()) {
        return WindowStep::MakeCurrent;
    }
    if (!createFramebuffer(request.width, request.height)) {
        return WindowStep::MakeCurrent;
    }
    return WindowStep::None;
}

// The framebuffer belongs to the context; it can only go while current.
bool platformReleaseContext() {
    return releaseOffscreenContext(deleteFramebuffer);
}

bool platformDeleteContext() {
    return deleteOffscreenContext();
}

bool platformReleaseDeviceContext() {
    return releaseContextDevice();
}

bool platformDestroyWindow() {
    const bool existed = state.windowExists;
    state.windowExists = false;
    destroyContextCarrier();
    return existed;
}

void platformClientSize(int& width, int& height) {
    width = state.width;
    height = state.height;
}

// No display, no refresh: frames come when the caller's clock says.
int platformRefreshRate() {
    return 0;
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
    if (offscreenContextExists()) {
        glFlush();
    }
    ++state.swaps;
}

MessageBoxAnswer platformMessageBox(const char* text, const char* caption, MessageBoxStyle style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    state.boxes.push_back({text, caption, style});
    return style == MessageBoxStyle::StopYesNo ? state.questionAnswer : MessageBoxAnswer::Ok;
}

void platformSetWindowTitle(const char* title) {
    if (state.windowExists && title != nullptr) {
        state.title = title;
    }
}

const std::string& headlessWindowTitle() {
    return state.title;
}

bool platformTogglesInPlace() {
    return state.togglesInPlace;
}

// --- direct use by tests and the capture tool ----------------------------

bool openHeadlessContext() {
    if (offscreenContextExists() && state.framebuffer != 0) {
        return makeOffscreenContextCurrent();
    }
    closeHeadlessContext();
    const WindowRequest request{"OpenGL", "Korvanthe", HeadlessWidth, HeadlessHeight,
                                32,       24,          false};
    const WindowStep failed = platformCreateWindow(request);
    if (failed != WindowStep::None) {
        std::fprintf(stderr, "headless: no offscreen OpenGL context (%s, failed step %d)\n",
                     offscreenContextDescription(), static_cast<int>(failed));
        closeHeadlessContext();
        return false;
    }
    glViewport(0, 0, HeadlessWidth, HeadlessHeight);
    return true;
}

void closeHeadlessContext() {
    if (offscreenContextExists()) {
        platformReleaseContext();
        platformDeleteContext();
    }
    destroyContextCarrier();
    state.windowExists = false;
}

void readPixels(std::vector<uint32_t>& pixels) {
    pixels.clear();
    if (!offscreenContextExists() || state.framebuffer == 0) {
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
    if (!offscreenContextExists() || x < 0 || y < 0 || x >= state.width || y >= state.height) {
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
