// Where each row of a song starts, taken from the offline render: the code
// path of `korvanthe-xm render --positions` and of live playback. The row
// observer sees each row tick, and the block renderer tells the frame of the
// block it starts at. Portable (the wasm test build uses it too).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "audio/block_renderer.h"
#include "audio/offline_render.h"
#include "module/module.h"
#include "replayer/tick_driver.h"

namespace korvanthe::testing {

struct RowStart {
    int32_t order;
    int32_t row;
    int64_t frame; // first frame of the row's first tick, from the song's start
};

struct SongEnd {
    int64_t frame = 0;     // frames rendered: the whole song when it ended
    int32_t elapsedMs = 0; // the song's own clock there, as the last block's stamp gives it
    bool ended = false;    // false: cut off at longestFrames
};

// Renders `module` at `rate` until the render's own song-end rule stops it,
// or past longestFrames. nullopt when the render cannot start.
inline std::optional<SongEnd> renderToSongEnd(Module* module, int32_t rate, int64_t longestFrames) {
    if (!startOfflineRender(module, rate, true)) {
        return std::nullopt;
    }
    SongEnd end;
    OfflineBlock block{};
    while (end.frame < longestFrames && renderOfflineBlock(&block)) {
        end.frame += block.frames;
        end.elapsedMs = block.stamp.elapsedMs;
    }
    end.ended = offlineSongEnded();
    stopOfflineRender();
    return end;
}

// Renders `module` again up to endFrame (from renderToSongEnd), appending to
// `rows` where each row starts. False when the render cannot start.
inline bool recordRowStarts(Module* module, int32_t rate, int64_t endFrame,
                            std::vector<RowStart>& rows) {
    if (!startOfflineRender(module, rate, false)) {
        return false;
    }
    struct Recorder {
        std::vector<RowStart>* rows;
        int64_t blockStartFrame; // frames rendered before the block being rendered
    } recorder{&rows, 0};
    setRowObserver(
        [](const Module* song, bool /*enteredOrder*/, void* context) {
            auto* recorder = static_cast<Recorder*>(context);
            recorder->rows->push_back(
                {song->order, song->row, recorder->blockStartFrame + blockRenderer.tickFrame});
        },
        &recorder);
    OfflineBlock block{};
    while (recorder.blockStartFrame < endFrame && renderOfflineBlock(&block)) {
        recorder.blockStartFrame += block.frames;
    }
    setRowObserver(nullptr, nullptr);
    stopOfflineRender();
    // The row at the end frame is the first one played again: not the song's.
    while (!rows.empty() && rows.back().frame >= endFrame) {
        rows.pop_back();
    }
    return true;
}

} // namespace korvanthe::testing
