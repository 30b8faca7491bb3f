#include "platform/sdl2/sdl_x11_window_size.h"

#include <SDL_syswm.h>

namespace korvanthe {

#if defined(SDL_VIDEO_DRIVER_X11)

namespace {

using GetGeometry = Status (*)(Display*, Drawable, Window*, int*, int*, unsigned int*,
                               unsigned int*, unsigned int*, unsigned int*);

// SDL loads Xlib at run time; the demo takes the one function it needs from
// the same library rather than linking Xlib itself.
GetGeometry lookUpGetGeometry() {
    static GetGeometry function = [] {
        void* library = SDL_LoadObject("libX11.so.6");
        return library == nullptr
                   ? nullptr
                   : reinterpret_cast<GetGeometry>(SDL_LoadFunction(library, "XGetGeometry"));
    }();
    return function;
}

} // namespace

bool x11WindowSize(SDL_Window* window, int& width, int& height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE ||
        info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    const GetGeometry getGeometry = lookUpGetGeometry();
    if (getGeometry == nullptr) {
        return false;
    }
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned int windowWidth = 0;
    unsigned int windowHeight = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    if (getGeometry(info.info.x11.display, info.info.x11.window, &root, &x, &y, &windowWidth,
                    &windowHeight, &border, &depth) == 0) {
        return false;
    }
    width = static_cast<int>(windowWidth);
    height = static_cast<int>(windowHeight);
    return true;
}

#else

bool x11WindowSize(SDL_Window*, int&, int&) {
    return false;
}

#endif

} // namespace korvanthe
