// The headless window's context on Linux: EGL on Mesa's surfaceless
// platform and a configless compatibility context, with no surface at all
// (the virtual window draws into a framebuffer object).
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "platform/headless/offscreen_context.h"

namespace korvanthe {

namespace {

struct EglContextState {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
};

EglContextState egl;

bool hasExtension(const char* name) {
    const char* extensions = eglQueryString(egl.display, EGL_EXTENSIONS);
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

} // namespace

// Surfaceless rendering needs no window.
bool createContextCarrier() {
    return true;
}

bool openContextDevice() {
    if (egl.display != EGL_NO_DISPLAY) {
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
    egl.display = display;
    return true;
}

// Surfaceless rendering without a config: both extensions are needed.
bool offscreenPixelFormatAvailable() {
    return hasExtension("EGL_KHR_surfaceless_context") &&
           (hasExtension("EGL_KHR_no_config_context") ||
            hasExtension("EGL_MESA_configless_context"));
}

bool selectOffscreenPixelFormat() {
    return eglBindAPI(EGL_OPENGL_API) == EGL_TRUE;
}

bool createOffscreenContext() {
    // A compatibility profile keeps the fixed-function pipeline; 2.1 is the
    // lowest version the create-context attributes can ask for.
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 2,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 1,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    egl.context = eglCreateContext(egl.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    return egl.context != EGL_NO_CONTEXT;
}

bool makeOffscreenContextCurrent() {
    return eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl.context) == EGL_TRUE;
}

bool offscreenContextExists() {
    return egl.context != EGL_NO_CONTEXT;
}

bool releaseOffscreenContext(void (*whileCurrent)()) {
    if (egl.display == EGL_NO_DISPLAY) {
        return false;
    }
    if (eglGetCurrentContext() == egl.context && egl.context != EGL_NO_CONTEXT) {
        whileCurrent();
    }
    return eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
}

bool deleteOffscreenContext() {
    const bool deleted = egl.display != EGL_NO_DISPLAY && egl.context != EGL_NO_CONTEXT &&
                         eglDestroyContext(egl.display, egl.context) == EGL_TRUE;
    egl.context = EGL_NO_CONTEXT;
    return deleted;
}

// The EGL display stays initialised for the next window: terminating and
// initialising Mesa again for every test window only costs time.
bool releaseContextDevice() {
    return egl.display != EGL_NO_DISPLAY;
}

void destroyContextCarrier() {}

void* offscreenProcAddress(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

const char* offscreenContextDescription() {
    return "EGL surfaceless on Mesa";
}

} // namespace korvanthe
