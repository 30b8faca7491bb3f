// The tick driver: advances the song by one tick (a row tick or a later
// tick), moving order and row, and updates every channel's voice.
#pragma once

#include "module/module.h"

namespace korvanthe {

// The module's tickHandler: one tick for all channels. On a row tick it
// enters the pending order and row, processes the row and works out the
// next position (the next row, the next order entry, or the restart
// position after the last entry); on later ticks it runs the tick effects.
// A row lasts speed ticks plus the pattern delay. Rendering thread only;
// does nothing for a null module.
void runTick(Module* module);

// Told of every row tick once its position is entered, before the row is
// processed. enteredOrder is true when the move came through a pending order
// (the next order entry, a jump, a break or the wrap to the restart
// position); false for the next row within a pattern and for pattern loops.
using RowObserver = void (*)(const Module* module, bool enteredOrder, void* context);

// Installs (or with null removes) the one row observer. Tools use it to see
// where a song ends; playback runs without one. Rendering thread, between
// ticks.
void setRowObserver(RowObserver observer, void* context);

} // namespace korvanthe
