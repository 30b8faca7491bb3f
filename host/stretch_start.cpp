#include "host/stretch_start.h"

#include <algorithm>

#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/frame_clock.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "timeline/timeline_update.h"

namespace korvanthe {

namespace {

void startAt(int64_t firstFrame, int fps) {
    playerSeek(SongPosition::frame(soundFrameOfVideoFrame(firstFrame, fps)));
    const SongMap* map = playerSongMap();
    for (int64_t frame = 0; frame < firstFrame; ++frame) {
        // Frame 0 delivers 0:0, before the first query; later frames the
        // position of the block heard then.
        int32_t order = 0;
        int32_t row = 0;
        if (frame > 0 && map != nullptr && !map->blockStamps.empty()) {
            const size_t block = std::min(
                static_cast<size_t>(soundFrameOfVideoFrame(frame, fps) / outputSettings.blockFrames),
                map->blockStamps.size() - 1);
            order = map->blockStamps[block].order;
            row = map->blockStamps[block].row;
        }
        deliverScriptEntriesAt(order, row, clockOfVideoFrame(frame, fps));
    }
}

} // namespace

void addStretchStart(MainSequenceHooks& hooks, int64_t firstFrame, int fps) {
    if (firstFrame <= 0) {
        return;
    }
    hooks.beforePlay = [firstFrame, fps] { startAt(firstFrame, fps); };
    hooks.position = [](int32_t& order, int32_t& row) {
        const HeardPosition heard = playerHeardPosition();
        order = heard.stamp.order;
        row = heard.stamp.row;
    };
}

bool findStretchFirstFrame(const std::string& songPath, const SongPosition& from, int fps,
                           int64_t& firstFrame, std::string& reason) {
    useStandardFileCallbacks();
    Module* module = createModule(songPath.c_str());
    if (module == nullptr) {
        reason = songPath + " does not load, so it has no positions";
        return false;
    }
    bool started = false;
    const PositionRefusal refusal = startOfflineRenderBetween(module, FrameClockSampleRate, 1, from,
                                                              nullptr, true, &started);
    const int64_t songFrame = offlineStretch().firstFrame;
    if (!started) {
        reason = describeSongPosition(from) + ": " +
                 describePositionRefusal(offlineSongMap(), *module, from, refusal);
    }
    stopOfflineRender();
    freeModule(module);
    if (started) {
        firstFrame = firstVideoFrameAtOrAfter(songFrame, fps);
    }
    return started;
}

int64_t stretchDeviceFrame(int64_t firstFrame, int64_t frame, int fps) {
    return soundFrameOfVideoFrame(firstFrame + frame, fps) - soundFrameOfVideoFrame(firstFrame, fps);
}

} // namespace korvanthe
