// The headless window system: EGL on Mesa's surfaceless platform, a
// configless compatibility context and a framebuffer object as the "window".
#include "platform/headless/egl_window.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <deque>

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
    // EGL and the offscreen picture.
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
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

HeadlessWindowState state;

template <typename Function> bool lookUp(Function& function, const char* name) {
    function = reinterpret_cast<Function>(eglGetProcAddress(name));
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

bool openDisplay() {
    if (state.display != EGL_NO_DISPLAY) {
        return true;
    }
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        return false;
    }
    EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0;
    EGLint minor = 0;
    if (display == EGL_NO_DISPLAY || eglInitialize(display, &major, &minor) != EGL_TRUE) {
        return false;
    }
    state.display = display;
    return true;
}

bool hasExtension(const char* name) {
    const char* extensions = eglQueryString(state.display, EGL_EXTENSIONS);
    if (extensions == nullptr) {
        return false;
    }
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(extensions, name); at != nullptr;
         at = std::strstr(at + 1, name)) {
        const bool startsWord = at == extensions || at[-1] == ' ';
        const bool endsWord = at[length] == ' ' || at[length] == '\0';
        if (startsWord && endsWord) {
            return true;
        }
    }
    return false;
}

// Surfaceless rendering without a config: both extensions are needed.
bool pixelFormatAvailable() {
    return hasExtension("EGL_KHR_surfaceless_context") &&
           (hasExtension("EGL_KHR_no_config_context") ||
            hasExtension("EGL_MESA_configless_context"));
}

bool createContext() {
    // A compatibility profile keeps the fixed-function pipeline; 2.1 is the
    // lowest version the create-context attributes can ask for.
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 2,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 1,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    state.context = eglCreateContext(state.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    return state.context != EGL_NO_CONTEXT;
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
    // One context at a time: one that openHeadlessContext left goes first.
    if (state.context != EGL_NO_CONTEXT) {
        platformReleaseContext();
        platformDeleteContext();
    }
    if (failsAt(WindowStep::CreateWindow)) {
        return WindowStep::CreateWindow;
    }
    state.windowExists = true;
    if (failsAt(WindowStep::DeviceContext) || !openDisplay()) {
        return WindowStep::DeviceContext;
    }
    if (failsAt(WindowStep::ChoosePixelFormat) || !pixelFormatAvailable()) {
        return WindowStep::ChoosePixelFormat;
    }
    if (failsAt(WindowStep::SetPixelFormat) || eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        return WindowStep::SetPixelFormat;
    }
    if (failsAt(WindowStep::CreateContext) || !createContext()) {
        return WindowStep::CreateContext;
    }
    if (failsAt(WindowStep::MakeCurrent) ||
        eglMakeCurrent(state.display, EGL_NO_SURFACE, EGL_NO_SURFACE, state.context) != EGL_TRUE) {
        return WindowStep::MakeCurrent;
    }
    if (!createFramebuffer(request.width, request.height)) {
        return WindowStep::MakeCurrent;
    }
    return WindowStep::None;
}

bool platformReleaseContext() {
    if (state.display == EGL_NO_DISPLAY) {
        return false;
    }
    // The framebuffer belongs to the context; it can only go while current.
    if (eglGetCurrentContext() == state.context && state.context != EGL_NO_CONTEXT) {
        deleteFramebuffer();
    }
    return eglMakeCurrent(state.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) ==
           EGL_TRUE;
}

bool platformDeleteContext() {
    const bool deleted = state.display != EGL_NO_DISPLAY && state.context != EGL_NO_CONTEXT &&
                         eglDestroyContext(state.display, state.context) == EGL_TRUE;
    state.context = EGL_NO_CONTEXT;
    return deleted;
}

// The EGL display stays initialised for the next window: terminating and
// initialising Mesa again for every test window only costs time.
bool platformReleaseDeviceContext() {
    return state.display != EGL_NO_DISPLAY;
}

bool platformDestroyWindow() {
    const bool existed = state.windowExists;
    state.windowExists = false;
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
    if (state.context != EGL_NO_CONTEXT) {
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
    if (state.context != EGL_NO_CONTEXT && state.framebuffer != 0) {
        return eglMakeCurrent(state.display, EGL_NO_SURFACE, EGL_NO_SURFACE, state.context) ==
               EGL_TRUE;
    }
    closeHeadlessContext();
    const WindowRequest request{"OpenGL", "Korvanthe", headlessWidth, headlessHeight,
                                32,       24,          false};
    const WindowStep failed = platformCreateWindow(request);
    if (failed != WindowStep::None) {
        std::fprintf(stderr,
                     "headless: no offscreen OpenGL context (EGL surfaceless on Mesa, "
                     "failed step %d)\n",
                     static_cast<int>(failed));
        closeHeadlessContext();
        return false;
    }
    glViewport(0, 0, headlessWidth, headlessHeight);
    return true;
}

void closeHeadlessContext() {
    if (state.context != EGL_NO_CONTEXT) {
        platformReleaseContext();
        platformDeleteContext();
    }
    state.windowExists = false;
}

void readPixels(std::vector<uint32_t>& pixels) {
    pixels.clear();
    if (state.context == EGL_NO_CONTEXT || state.framebuffer == 0) {
        return;
    }
    const int width = state.width;
    const int height = state.height;
    std::vector<uint32_t> bottomUp(static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glFinish();
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
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
    if (state.context == EGL_NO_CONTEXT || x < 0 || y < 0 || x >= state.width ||
        y >= state.height) {
        return 0;
    }
    uint32_t pixel = 0;
    glFinish();
    glReadPixels(x, state.height - 1 - y, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &pixel);
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
