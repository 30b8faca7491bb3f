#include "audio/offline_render.h"

#include <algorithm>
#include <bitset>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"
#include "replayer/tick_driver.h"

namespace korvanthe {

namespace {

constexpr int MaxRows = 256; // rows a pattern can have

// Which (order, row) positions have played. A pattern loop plays its rows
// again on purpose, so jumping back by a loop forgets the looped rows.
struct SongEndWatch {
    std::bitset<OrderTableSize * MaxRows> played;
    int32_t lastOrder;
    int32_t lastRow;
    bool started;
    bool ended;
    int32_t endFrame;    // frame of the block at which the repeated row began
    BlockStamp endStamp; // the position and time at that frame, before the repeat
};

struct OfflineRender {
    bool running;
    bool watchSongEnd;
    bool ownsRing; // the ring was allocated for this render, not left by live playback
    SongEndWatch watch;
};

OfflineRender offline{};

void watchRow(const Module* module, bool enteredOrder, void* context) {
    auto* watch = static_cast<SongEndWatch*>(context);
    if (watch->ended) {
        return;
    }
    const int32_t order = module->order;
    const int32_t row = module->row;
    if (order < 0 || order >= OrderTableSize || row < 0 || row >= MaxRows) {
        return;
    }
    if (watch->started && !enteredOrder && order == watch->lastOrder && row <= watch->lastRow) {
        for (int32_t r = row; r <= watch->lastRow; ++r) {
            watch->played.reset(static_cast<size_t>(order) * MaxRows + r);
        }
    }
    const size_t position = static_cast<size_t>(order) * MaxRows + row;
    if (watch->played.test(position)) {
        watch->ended = true;
        watch->endFrame = blockRenderer.tickFrame;
        watch->endStamp = BlockStamp{static_cast<uint8_t>(watch->lastOrder),
                                     static_cast<uint8_t>(watch->lastRow), module->elapsedMs};
        return;
    }
    watch->played.set(position);
    watch->started = true;
    watch->lastOrder = order;
    watch->lastRow = row;
}

} // namespace

bool startOfflineRender(Module* module, int32_t sampleRate, bool watchSongEnd) {
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
    offline.watch = SongEndWatch{};
    offline.watchSongEnd = watchSongEnd;
    if (watchSongEnd) {
        setRowObserver(watchRow, &offline.watch);
    }
    offline.running = true;
    return true;
}

bool renderOfflineBlock(OfflineBlock* block) {
    if (!offline.running || (offline.watchSongEnd && offline.watch.ended)) {
        return false;
    }
    const int32_t index = blockRenderer.renderIndex;
    renderBlock();
    block->pcm = blockPcm(index);
    block->frames = outputSettings.blockFrames;
    block->stamp = readStamp(blockRenderer.stamps[index]);
    if (offline.watchSongEnd && offline.watch.ended) {
        // The block is cut where the repeat begins, and so is its stamp.
        block->frames = std::min(block->frames, offline.watch.endFrame);
        block->stamp = offline.watch.endStamp;
    }
    return block->frames > 0;
}

bool offlineSongEnded() {
    return offline.watch.ended;
}

void stopOfflineRender() {
    if (offline.watchSongEnd) {
        setRowObserver(nullptr, nullptr);
    }
    if (offline.running) {
        stopBlockRendering();
        if (offline.ownsRing) {
            releaseOutputRing();
        }
    }
    offline.running = false;
    offline.watchSongEnd = false;
}

} // namespace korvanthe
