// The SDL window system: a 640 x 480 window with a compatibility-profile
// OpenGL context; fullscreen is SDL's desktop fullscreen, switched in place
// on the living window, so the context and its textures survive a toggle.
#pragma once

#include "platform/window_system.h"

namespace korvanthe {

// For automated runs: message boxes are written to stderr and answered with
// the given answer (Yes/No questions) or Ok, instead of waiting for a click.
// First thread.
void answerMessageBoxesWith(MessageBoxAnswer answer);

} // namespace korvanthe
