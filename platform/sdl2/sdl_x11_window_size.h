// The size that an SDL window really has on an X server. SDL reports the
// size it asked for: a desktop-fullscreen window on an X server without a
// window manager stays at its windowed size, while SDL (and its drawable
// size) says it covers the screen. Kept apart from the window code because
// the X headers define macros (None, Status, Bool) that clash with ours.
// First thread.
#pragma once

#include <SDL.h>

namespace korvanthe {

// The X window's current width and height in pixels. False when the window
// is not on X11 or the X server could not be asked; then width and height
// are untouched.
bool x11WindowSize(SDL_Window* window, int& width, int& height);

} // namespace korvanthe
