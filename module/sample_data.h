// Sample data as the mixer reads it: loop bounds inside the sample, delta-coded
// file data turned into 16-bit frames, and the guard frame after the loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/module.h"

namespace korvanthe {

// Sets loopType and bitsPerSample from a sample header's type byte (bit 0
// forward, bit 1 ping-pong, which wins over bit 0; bit 4 16-bit data), then
// turns the header's byte counts into frames with the loop inside the sample.
void applySampleType(Sample& sample, uint8_t typeByte);

// Keeps the loop inside `length` frames: a sample without a loop, or whose loop
// starts at or beyond its end or has no frames, plays unlooped (loopStart 0,
// loopLength length); a loop running past the end ends at the end.
void normaliseLoop(Sample& sample);

// Decodes `frameCount` delta-coded frames of `bitsPerSample` (8 or 16) from
// `stored` (little-endian for 16-bit) into `frames`: a running sum wrapping at
// 16 bits, from `sum`; 8-bit values are scaled by 256. Gives the sum after
// the last frame, from which the sample's next frames go on.
uint16_t decodeDeltaFrames(const uint8_t* stored, int bitsPerSample, uint32_t frameCount,
                           int16_t* frames, uint16_t sum = 0);

// The bytes of 4-bit ADPCM data: a table of 16 signed deltas, then one code
// per frame, two to a byte, the low nibble first.
constexpr uint32_t AdpcmTableBytes = 16;
constexpr uint64_t adpcmStoredBytes(uint32_t frameCount) {
    return AdpcmTableBytes + (uint64_t{frameCount} + 1) / 2;
}

// Decodes `frameCount` frames of ADPCM data (table, then codes) into
// `frames`: a running 8-bit sum, from 0, adds the table entry each code
// names; the sum is the sample value, scaled by 256 like 8-bit data.
void decodeAdpcmFrames(const uint8_t* stored, uint32_t frameCount, int16_t* frames);

// Writes the guard frame at loopStart + loopLength that the interpolation
// reads: a copy of loopStart for a forward loop, of the loop's last frame for
// a ping-pong loop; nothing (it stays 0) for an unlooped sample. The loop must
// lie inside the sample and data must hold length + SampleGuardFrames frames.
void writeGuardFrame(Sample& sample);

} // namespace korvanthe
