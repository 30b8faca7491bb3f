// The window is the page's canvas, its drawing buffer the demo's 640 x 480;
// the page's style scales it to the browser window with the 4:3 pillarbox.
// Keys stay with the page: Space and double-click ask for fullscreen, the
// browser's own Escape leaves it, and closing the tab ends the demo, so no key
// reaches the window code. The context is WebGL with a depth buffer, drawn
// through platform/web/fixed_function_gl.h.
#include <emscripten/html5.h>

#include <cstdio>

#include "platform/web/fixed_function_gl.h"
#include "platform/window_system.h"

namespace korvanthe {

namespace {

constexpr const char* CanvasSelector = "#canvas";

struct WebWindow {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    bool exists = false;
    bool quitPosted = false;
    int width = 0;
    int height = 0;
};

WebWindow page;

} // namespace

bool platformRegisterWindowClass(const char*) {
    return true;
}

bool platformUnregisterWindowClass(const char*) {
    return true;
}

// Fullscreen is the page's, asked for by a gesture: the drawing buffer keeps
// its size either way.
bool platformChangeDisplayMode(int, int, int) {
    return true;
}

void platformRestoreDisplayMode() {}

void platformShowCursor(bool) {}

WindowStep platformCreateWindow(const WindowRequest& request) {
    if (emscripten_set_canvas_element_size(CanvasSelector, request.width, request.height) !=
        EMSCRIPTEN_RESULT_SUCCESS) {
        return WindowStep::CreateWindow;
    }
    page.exists = true;
    page.quitPosted = false;
    page.width = request.width;
    page.height = request.height;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    page.context = emscripten_webgl_create_context(CanvasSelector, &attributes);
    if (page.context <= 0) {
        page.context = 0;
        return WindowStep::CreateContext;
    }
    if (emscripten_webgl_make_context_current(page.context) != EMSCRIPTEN_RESULT_SUCCESS ||
        !startFixedFunctionGl()) {
        return WindowStep::MakeCurrent;
    }
    return WindowStep::None;
}

bool platformReleaseContext() {
    stopFixedFunctionGl();
    return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool platformDeleteContext() {
    const bool deleted =
        emscripten_webgl_destroy_context(page.context) == EMSCRIPTEN_RESULT_SUCCESS;
    page.context = 0;
    return deleted;
}

bool platformReleaseDeviceContext() {
    return true;
}

bool platformDestroyWindow() {
    const bool existed = page.exists;
    page.exists = false;
    return existed;
}

void platformClientSize(int& width, int& height) {
    width = page.width;
    height = page.height;
}

// The browser paces the animation frames by the display itself.
int platformRefreshRate() {
    return 0;
}

bool platformPeekMessage(WindowMessage& message) {
    if (page.quitPosted) {
        page.quitPosted = false;
        message = WindowMessage{};
        message.kind = WindowMessageKind::Quit;
        return true;
    }
    return false;
}

void platformPostQuit() {
    page.quitPosted = true;
}

// The browser shows what was drawn when the animation frame returns.
void platformSwapBuffers() {}

MessageBoxAnswer platformMessageBox(const char* text, const char* caption, MessageBoxStyle style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return style == MessageBoxStyle::StopYesNo ? MessageBoxAnswer::Yes : MessageBoxAnswer::Ok;
}

void platformSetWindowTitle(const char* title) {
    if (title != nullptr) {
        emscripten_set_window_title(title);
    }
}

bool platformTogglesInPlace() {
    return true;
}

} // namespace korvanthe
