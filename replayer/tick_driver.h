// The tick driver: advances the song by one tick (a row tick or a later
// tick), moving order and row, and updates every channel's voice.
#pragma once

#include "module/module.h"

namespace korvanthe {

// The module's tickHandler. Rendering thread only.
void runTick(Module* module);

} // namespace korvanthe
