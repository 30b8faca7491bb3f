// Routines that the row tick and the later ticks of a row share. Each works
// on one channel and sets the updateFlags bits that updateVoice consumes.
// Rendering thread only; they touch only the channel (and sample) given.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "replayer/channel.h"
#include "replayer/periods.h"
#include "replayer/waveforms.h"

namespace korvanthe {

// A cell names an instrument: volume and panning from the sample, both
// envelopes, the key, the fadeout, the autovibrato and the tremor restart;
// the vibrato and tremolo phases restart unless their waveform nibble is 4 or
// more. Sets UpdateVolume and UpdatePanning. A null sample counts as emptySample.
void applyInstrumentDefaults(Channel* channel, const Sample* sample);

// Row-tick part of a non-zero volume-column byte (set volume, fine volume
// slides, vibrato speed and depth, set and slide panning, tone-portamento
// speed and target). Bytes 0x01..0x0F and 0x51..0x5F do nothing.
void applyVolumeColumn(Channel* channel, uint8_t volumeByte);

// periodDelta = the vibrato offset at the current phase (assigned, a multiple
// of 4, at most 116 either way); sets UpdateFrequency. Does not advance the phase.
void computeVibrato(Channel* channel);

// One tick of tremor: silences this tick (volumeDelta = -volume) in the off
// part of the cycle, advances the counter, sets UpdateVolume.
void stepTremor(Channel* channel);

} // namespace korvanthe
