// Volume and panning envelopes and the fadeout of a released note.
// Rendering thread only.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "replayer/channel.h"

namespace korvanthe {

// Views over an instrument's two envelopes. A null instrument gives an
// envelope that is off with no points.
Envelope volumeEnvelopeOf(const Instrument* instrument);
Envelope panningEnvelopeOf(const Instrument* instrument);

// Advances state by one tick along envelope and sets updateBit (UpdateVolume
// or UpdatePanning) in the channel's updateFlags. The loop is checked before
// the sustain point; the sustain holds while the key is down; the last point
// finishes the envelope. Callers skip it when the envelope lacks EnvelopeOn or
// state->finished is true. Never reads outside the points, whatever state or
// envelope hold: a loop start or sustain point beyond the points is ignored,
// and a point whose tick already lies behind counts as reached.
void stepEnvelope(Channel* channel, EnvelopeState* state, const Envelope& envelope,
                  uint8_t updateBit);

// Lxx: moves state to tick `position` of envelope, as if it had stepped
// there: on the segment that holds the position, or finished at the last
// point's value beyond it. Values follow the same clamp as stepEnvelope (a
// point above 64 counts as 64), so the value stays within 0..64 wherever the
// position falls. Touches no update bit (the row tick sets UpdateVolume).
void setEnvelopePosition(EnvelopeState* state, const Envelope& envelope, int32_t position);

// One tick of fadeout: while the key is off, fadeoutVolume falls by the
// instrument's fadeout, not below 0, and UpdateVolume is set.
void stepFadeout(Channel* channel, const Instrument* instrument);

} // namespace korvanthe
