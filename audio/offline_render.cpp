#include "audio/offline_render.h"

#include <algorithm>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"
#include "audio/song_end_watch.h"
#include "replayer/tick_driver.h"

namespace korvanthe {

namespace {

struct OfflineRender {
    bool running;
    bool watchSongEnd; // kept after the render stops, for offlineSongEnded
    bool observing;    // the watch is the tick driver's row observer
    bool ownsRing;     // the ring was allocated for this render, not left by live playback
    SongEndWatch watch;
};

OfflineRender offline{};

} // namespace

bool startOfflineRender(Module* module, int32_t sampleRate, bool watchSongEnd, int32_t repeats,
                        int32_t startOrder) {
    stopOfflineRender();
    if (module == nullptr || sampleRate < 1) {
        return false;
    }
    configureOutput(sampleRate);
    // A ring left by live playback may still be looped by the device: it is
    // reused here but never released.
    offline.ownsRing = blockRenderer.outputRing == nullptr;
    if (!startBlockRendering(module)) {
        return false;
    }
    startSongEndWatch(offline.watch, repeats, startOrder);
    offline.watchSongEnd = watchSongEnd;
    if (watchSongEnd) {
        setRowObserver(watchSongRow, &offline.watch);
        offline.observing = true;
    }
    offline.running = true;
    return true;
}

bool renderOfflineBlock(OfflineBlock* block) {
    if (!offline.running || offlineSongEnded()) {
        return false;
    }
    const int32_t index = blockRenderer.renderIndex;
    renderBlock();
    block->pcm = blockPcm(index);
    block->frames = outputSettings.blockFrames;
    block->stamp = readStamp(blockRenderer.stamps[index]);
    if (offlineSongEnded()) {
        // The block is cut where the repeat begins, and so is its stamp.
        block->frames = std::min(block->frames, offline.watch.endFrame);
        block->stamp = offline.watch.endStamp;
    }
    return block->frames > 0;
}

bool offlineSongEnded() {
    return offline.watchSongEnd && songEndReached(offline.watch);
}

void stopOfflineRender() {
    if (offline.observing) {
        setRowObserver(nullptr, nullptr);
        offline.observing = false;
    }
    if (offline.running) {
        stopBlockRendering();
        if (offline.ownsRing) {
            releaseOutputRing();
        }
    }
    offline.running = false;
}

} // namespace korvanthe
