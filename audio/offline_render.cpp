#include "audio/offline_render.h"

#include <algorithm>
#include <utility>

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
    // A stretch (startOfflineRenderBetween): song frames firstFrame up to
    // endFrame; endFrame -1 without one.
    bool stretch;
    int64_t firstFrame;
    int64_t endFrame;
    bool atSongEnd; // endFrame is where the song ends (its stamp is the map's)
    bool stretchEnded;
    SongMap map;
};

OfflineRender offline{};

bool startRender(Module* module, int32_t sampleRate) {
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
    offline.stretch = false;
    offline.endFrame = -1;
    offline.firstFrame = 0;
    offline.atSongEnd = false;
    offline.stretchEnded = false;
    offline.running = true;
    return true;
}

} // namespace

bool startOfflineRender(Module* module, int32_t sampleRate, bool watchSongEnd, int32_t repeats) {
    if (!startRender(module, sampleRate)) {
        return false;
    }
    startSongEndWatch(offline.watch, repeats, 0);
    offline.watchSongEnd = watchSongEnd;
    if (watchSongEnd) {
        setRowObserver(watchSongRow, &offline.watch);
        offline.observing = true;
    }
    return true;
}

PositionRefusal startOfflineRenderBetween(Module* module, int32_t sampleRate, int32_t repeats,
                                          const SongPosition& from, const SongPosition* to,
                                          bool toSongEnd, bool* started) {
    *started = false;
    if (!startRender(module, sampleRate)) {
        return PositionRefusal::None;
    }
    offline.watchSongEnd = false;
    // From the very start the replay state is the song start's: no keyframes
    // are needed to get there.
    const bool fromStart =
        (from.kind == SongPosition::Kind::OrderRow && from.order == 0 && from.row == 0) ||
        (from.kind == SongPosition::Kind::Frame && from.frames == 0) ||
        (from.kind == SongPosition::Kind::Milliseconds && from.milliseconds == 0);
    // From the start with no end to find, nothing is asked of the map: the
    // first frame is 0 (order 0, row 0 is in every song the loader accepts),
    // and a whole unheard replay of the song is saved (render --seconds).
    const bool needsMap = !fromStart || to != nullptr || toSongEnd;
    int64_t first = 0;
    PositionRefusal refusal = PositionRefusal::None;
    if (needsMap) {
        buildSongMap(offline.map, module, repeats, !fromStart);
        refusal = songPositionFrame(offline.map, *module, from, &first);
    }
    int64_t end = offline.map.endFrame;
    if (refusal == PositionRefusal::None && to != nullptr) {
        refusal = songPositionFrame(offline.map, *module, *to, &end);
        if (refusal == PositionRefusal::None && end <= first) {
            refusal = PositionRefusal::PastSongEnd;
        }
    }
    if (refusal != PositionRefusal::None) {
        // The map stays, for the caller to say what the song has.
        SongMap map = std::move(offline.map);
        stopOfflineRender();
        offline.map = std::move(map);
        return refusal;
    }
    if (first == 0) {
        restartSongAsLoaded(*module);
    } else if (moveToSongFrame(offline.map, *module, first) < 0) {
        stopOfflineRender();
        return PositionRefusal::None;
    }
    offline.firstFrame = first;
    offline.endFrame = to != nullptr || toSongEnd ? end : -1;
    offline.atSongEnd = to == nullptr && toSongEnd;
    offline.stretch = true;
    *started = true;
    return PositionRefusal::None;
}

OfflineStretch offlineStretch() {
    return OfflineStretch{offline.firstFrame, offline.endFrame};
}

namespace {

// What a rendered song block (at song frame blockStart, in pcm) gives of the
// render: the frames of the stretch, the stamp of the song's end.
bool takeRenderedBlock(OfflineBlock* block, const int16_t* pcm, BlockStamp stamp,
                       int64_t blockStart) {
    const int64_t blockFrames = outputSettings.blockFrames;
    block->pcm = pcm;
    block->frames = outputSettings.blockFrames;
    block->stamp = stamp;
    block->firstFrame = blockStart;
    if (offline.stretch) {
        const int64_t end = offline.endFrame >= 0 ? offline.endFrame : blockStart + blockFrames;
        const int64_t from = std::max(blockStart, offline.firstFrame);
        const int64_t to = std::min(blockStart + blockFrames, end);
        block->pcm += (from - blockStart) * 2;
        block->firstFrame = from;
        block->frames = static_cast<int32_t>(std::max<int64_t>(to - from, 0));
        if (offline.endFrame >= 0 && to == offline.endFrame) {
            offline.stretchEnded = true;
            if (offline.atSongEnd && to < blockStart + blockFrames) {
                block->stamp = offline.map.endStamp;
            }
        }
    } else if (offlineSongEnded()) {
        // The block is cut where the repeat begins, and so is its stamp.
        block->frames = std::min(block->frames, offline.watch.endFrame);
        block->stamp = offline.watch.endStamp;
    }
    return block->frames > 0;
}

} // namespace

bool renderOfflineBlock(OfflineBlock* block) {
    if (!offline.running || offlineSongEnded()) {
        return false;
    }
    const int32_t index = blockRenderer.renderIndex;
    const int64_t blockStart = blockRenderer.songBlock * outputSettings.blockFrames;
    renderBlock();
    return takeRenderedBlock(block, blockPcm(index), readStamp(blockRenderer.stamps[index]),
                             blockStart);
}

bool renderOfflineBlockInto(int16_t* pcm, OfflineBlock* block) {
    if (!offline.running || offlineSongEnded() || pcm == nullptr) {
        return false;
    }
    const int64_t blockStart = blockRenderer.songBlock * outputSettings.blockFrames;
    BlockStamp stamp{};
    renderSongBlockInto(pcm, stamp);
    return takeRenderedBlock(block, pcm, stamp, blockStart);
}

bool offlineSongEnded() {
    if (offline.stretch) {
        return offline.stretchEnded;
    }
    return offline.watchSongEnd && songEndReached(offline.watch);
}

const SongMap& offlineSongMap() {
    return offline.map;
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
    clearSongMap(offline.map);
}

SongLength measureSongLength(Module* module, int32_t sampleRate, int32_t repeats) {
    if (!startRender(module, sampleRate)) {
        return SongLength{-1, false, {}};
    }
    SongMap& map = offline.map;
    buildSongMap(map, module, repeats, false);
    const SongLength length{map.endFrame, map.ended, map.endStamp};
    // The replay changed what a performance changes (finetunes); the song
    // goes back to how it was loaded.
    restartSongAsLoaded(*module);
    stopOfflineRender();
    return length;
}

} // namespace korvanthe
