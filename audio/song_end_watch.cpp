#include "audio/song_end_watch.h"

#include <algorithm>

#include "audio/block_renderer.h"

namespace korvanthe {

namespace {

size_t indexOf(int32_t order, int32_t row) {
    return static_cast<size_t>(order) * SongEndRows + static_cast<size_t>(row);
}

void markPlayed(SongEndWatch& watch, int32_t order, int32_t row) {
    watch.played.set(indexOf(order, row));
    watch.started = true;
    watch.lastOrder = order;
    watch.lastRow = row;
}

} // namespace

void startSongEndWatch(SongEndWatch& watch, int32_t repeats, int32_t startOrder) {
    watch = SongEndWatch{};
    watch.endsLeft = std::max(repeats, 1);
    for (int32_t order = 0; order < startOrder && order < OrderTableSize; ++order) {
        for (int32_t row = 0; row < SongEndRows; ++row) {
            watch.played.set(indexOf(order, row));
        }
    }
}

void watchSongRow(const Module* module, bool enteredOrder, void* context) {
    auto* watch = static_cast<SongEndWatch*>(context);
    if (songEndReached(*watch)) {
        return;
    }
    const int32_t order = module->order;
    const int32_t row = module->row;
    if (order < 0 || order >= OrderTableSize || row < 0 || row >= SongEndRows) {
        return;
    }
    // A pattern loop plays its rows again on purpose: jumping back by a loop
    // forgets the looped rows.
    if (watch->started && !enteredOrder && order == watch->lastOrder && row <= watch->lastRow) {
        for (int32_t r = row; r <= watch->lastRow; ++r) {
            watch->played.reset(indexOf(order, r));
        }
    }
    if (!watch->played.test(indexOf(order, row))) {
        markPlayed(*watch, order, row);
        return;
    }
    watch->endsLeft -= 1;
    if (watch->endsLeft > 0) {
        // The song plays on from here, as the replayer takes it: the next
        // time through begins with this position.
        watch->played.reset();
        markPlayed(*watch, order, row);
        return;
    }
    watch->endFrame = blockRenderer.tickFrame;
    watch->endStamp = BlockStamp{static_cast<uint8_t>(watch->lastOrder),
                                 static_cast<uint8_t>(watch->lastRow), module->elapsedMs};
}

} // namespace korvanthe
