// The last stage of a channel on every tick: the instrument's automatic
// vibrato, and the transfer of the channel's state into its mixer Voice.
// Rendering thread only, between mixer calls.
#pragma once

#include "module/module.h"
#include "replayer/channel.h"

namespace korvanthe {

// Adds the instrument's autovibrato (sine, square, ramp down, ramp up by
// vibratoType; a type above 3 adds nothing) to periodDelta, advances the
// sweep and phase, sets UpdateFrequency. Pass emptyInstrument (or null) for a
// channel without an instrument.
void applyAutoVibrato(Channel* channel, const Instrument* instrument);

// Applies what channel->updateFlags name to the channel's voice, in the order
// trigger (restart sample from the pending startOffset, or 0 when that lies at
// or beyond the sample's end), volume, panning (clamped to 0..255), frequency
// (linear or Amiga by module flags; at least 100 Hz; unchanged when period +
// periodDelta is 0), stop. Uses outputSettings.sampleRate (44100 when unset).
// A null sample counts as emptySample.
void updateVoice(Channel* channel, const Sample* sample, const Module* module);

} // namespace korvanthe
