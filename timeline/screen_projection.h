// The flat projection the full-screen effects draw with.
#pragma once

namespace korvanthe {

inline constexpr float screenPixelsWide = 640.0f;
inline constexpr float screenPixelsHigh = 480.0f;

// Projection: one unit per screen pixel, origin top left, y growing
// downwards, z from -1 to 1; modelview: identity. Context current.
void setScreenPixelProjection();

} // namespace korvanthe
