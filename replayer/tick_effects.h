// The later ticks of a row (tick 1 and on): envelopes, fadeout, the per-tick
// volume column and the continuous part of every effect, channel by channel,
// each channel ending in its voice update. Rendering thread only.
#pragma once

#include "module/module.h"
#include "replayer/channel.h"

namespace korvanthe {

// One later tick for every channel of the current row.
void processTickEffects(Module* module);

// volumeDelta = this tick's tremolo offset, bounded so that volume +
// volumeDelta stays within 0..64 for volumes in that range; advances the
// tremolo phase and sets UpdateVolume.
void computeTremolo(Channel* channel);

// Moves period 4 x tonePortaSpeed toward portaTargetPeriod, never past it;
// sets UpdateFrequency.
void stepTonePortamento(Channel* channel);

} // namespace korvanthe
