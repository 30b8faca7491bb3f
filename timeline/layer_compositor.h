// Draws the active effects layer by layer.
#pragma once

#include <cstdint>

namespace korvanthe {

inline constexpr int DrawnLayers = 32;

// Clears colour to black and depth to 1, then for layers 0 to 31 renders each
// active effect of that layer in slot order, after its own depth clear, with
// `elapsed` = clock now minus its start time. Effects on other layers are
// neither drawn nor timed. Does not swap. First thread, context current.
void drawLayers();

// drawLayers with one clock reading, `now`, for every effect drawn: for a
// timeline that runs on the song's time (timeline/song_timeline.h).
void drawLayersAt(uint32_t now);

} // namespace korvanthe
