// Where a song ends: the first time playback would go back to a position it
// has already played other than through a pattern loop (the order wrapping
// to the restart position, or a jump backwards). A row observer of the tick
// driver (setRowObserver) that the offline render installs.
//
// A watch can let the song end several times (repeats), playing on each time
// but the last as the replayer does; and it can count the order entries
// before a start order as played, so that going back to one of them ends the
// song too.
#pragma once

#include <bitset>
#include <cstdint>

#include "audio/block_stamp.h"
#include "module/module.h"

namespace korvanthe {

constexpr int32_t SongEndRows = 256; // rows a pattern can have

struct SongEndWatch {
    // Which (order, row) positions have played in the current time through
    // the song.
    std::bitset<OrderTableSize * SongEndRows> played;
    int32_t lastOrder;
    int32_t lastRow;
    bool started;
    int32_t endsLeft;    // times the song has still to end; 0: it has ended for good
    int32_t endFrame;    // frame of the block at which the last repeat began
    BlockStamp endStamp; // the position and time at that frame, before the repeat
};

// A watch for a song that ends after `repeats` (at least 1) times through,
// the orders before startOrder counted as played.
void startSongEndWatch(SongEndWatch& watch, int32_t repeats, int32_t startOrder);

// The row observer; context is the SongEndWatch.
void watchSongRow(const Module* module, bool enteredOrder, void* context);

inline bool songEndReached(const SongEndWatch& watch) {
    return watch.endsLeft == 0;
}

} // namespace korvanthe
