// The demo's screen: the window's size in pixels, which is also the space the
// effects draw in and the pictures are laid out in. A header of constants
// only, so the host, the timeline, the platform backends and the content
// generator share one definition without linking anything.
#pragma once

namespace korvanthe {

inline constexpr int ScreenWidth = 640;
inline constexpr int ScreenHeight = 480;

// The same size as floats, for drawing and layout in screen pixels.
inline constexpr float ScreenPixelsWide = static_cast<float>(ScreenWidth);
inline constexpr float ScreenPixelsHigh = static_cast<float>(ScreenHeight);

} // namespace korvanthe
