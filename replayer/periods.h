// Period units of the two frequency tables. A period of 4608 (linear) or 1712
// (Amiga) plays a sample at about 8363 Hz; periods count in quarter steps.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace korvanthe {

// Linear table: 7680 - 64 x realNote - finetune / 2 (division truncating).
// realNote is 0-based (note + relative note - 1); finetune in 1/128 semitone.
int32_t linearPeriod(int32_t realNote, int32_t finetune);

// Amiga table: the period of note (0-based, any int) at finetune -128..127.
// Note 48 gives 1712. Pure; any thread.
int32_t amigaPeriod(int32_t note, int32_t finetune);

// The period of realNote on the module's table (linear when flags bit 0 is set).
int32_t notePeriod(const Module* module, int32_t realNote, int32_t finetune);

} // namespace korvanthe
