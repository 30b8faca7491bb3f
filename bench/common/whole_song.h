// The whole-song render the speed figures are taken from, natively
// (korvanthe-bench-render) and under node (render_speed): a song through the
// block renderer from its start to where it ends, as the render command
// plays it, and at most 30 minutes of a song that never ends.
#pragma once

#include <cstdint>

#include "audio/offline_render.h"
#include "module/module.h"

namespace korvanthe::bench {

inline constexpr int32_t WholeSongRate = 44100;
inline constexpr int64_t LongestSongFrames = int64_t{WholeSongRate} * 30 * 60;

// The frames rendered.
inline int64_t renderWholeSong(Module* song) {
    startOfflineRender(song, WholeSongRate, true);
    OfflineBlock block{};
    int64_t frames = 0;
    while (frames < LongestSongFrames && renderOfflineBlock(&block)) {
        frames += block.frames;
    }
    stopOfflineRender();
    return frames;
}

} // namespace korvanthe::bench
