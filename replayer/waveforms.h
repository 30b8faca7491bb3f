// The vibrato and tremolo waveforms: a phase of -32..31 (one wave per 64
// steps) maps to a value 0..255, the caller applying the sign.
#pragma once

#include <cstdint>

namespace korvanthe {

// Waveform value 0..255 for the vibrato at phase -32..31, chosen by the low
// nibble of waveControl (two low bits: 0 sine, 1 ramp, 2 and 3 square).
int32_t vibratoWaveform(uint8_t waveControl, int32_t phase);

// The same for the tremolo, chosen by the high nibble of waveControl
// (two low bits: 0 sine, 1 ramp, 2 square, 3 sine).
int32_t tremoloWaveform(uint8_t waveControl, int32_t phase);

// The phase after one use: phase + speed, minus 64 when that is above 31.
int8_t advanceWavePhase(int8_t phase, uint8_t speed);

} // namespace korvanthe
