// The flat projection the full-screen effects draw with.
#pragma once

#include "timeline/screen_size.h"

namespace korvanthe {

// Projection: one unit per screen pixel, origin top left, y growing
// downwards, z from -1 to 1; modelview: identity. Context current.
void setScreenPixelProjection();

} // namespace korvanthe
