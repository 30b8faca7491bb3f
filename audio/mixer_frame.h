// The mixer's per-frame arithmetic, shared by every code path: one output
// frame, the position after it, and the gains of volumes and levels.
// Positions and steps are 32.32 frame counts packed into one 64-bit value;
// gains are single-precision; everything between runs in double.
#pragma once

#include <cstdint>

namespace korvanthe::mixer {

// 1/255 as a single-precision value (0.003921568859368563): the gain of one
// volume step. Products with it run in double, the gains are stored as float.
constexpr double GainPerVolume = static_cast<double>(1.0f / 255.0f);
constexpr double WeightUnit = 1.0 / 2147483648.0; // 2^-31: one step of the 31-bit weight

// Rounds a double to single precision. Through a volatile, because GCC 12's
// straight-line vectoriser at -O2 was seen to drop the float round trip of
// a gain (using the double product in the next multiplication), which moved
// mixed values by one float step; tests/audio/mixer_ramp_test.cpp pins the
// exact values. Used once per pass, never per frame.
inline float toSingle(double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// The gain of a volume (255 = 1.0) and of a level (volume x 256).
inline float volumeGain(int32_t volume) {
    return toSingle(volume * GainPerVolume);
}
inline float levelGain(int32_t level) {
    return toSingle(level * (1.0 / 256.0) * GainPerVolume);
}

// One output frame: linear interpolation between the frame at the position
// and the next one, weighted by the top 31 bits of the fraction, added to
// both sides in double and stored back as float.
inline void mixFrame(float* out, const int16_t* data, uint64_t position, float gainLeft,
                     float gainRight) {
    const int32_t whole = static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
    const double weight = static_cast<double>(static_cast<uint32_t>(position) >> 1) * WeightUnit;
    const int32_t first = data[whole];
    const int32_t rise = data[whole + 1] - first; // exact, as the double difference would be
    const double value = first + weight * rise;
    out[0] = static_cast<float>(out[0] + value * gainLeft);
    out[1] = static_cast<float>(out[1] + value * gainRight);
}

// The position after one frame: the fraction's lowest bit cleared, then the
// signed step (negated when moving backward) added.
inline uint64_t advance(uint64_t position, uint64_t signedStep) {
    return (position & ~uint64_t{1}) + signedStep;
}

// The position after k >= 1 frames, in closed form: with an odd step every
// frame but the first clears a set lowest bit.
inline uint64_t positionAfter(uint64_t position, uint64_t signedStep, uint64_t k) {
    const uint64_t clears = (signedStep & 1) != 0 ? k - 1 : 0;
    return (position & ~uint64_t{1}) + k * signedStep - clears;
}

// Ramp frames one at a time: the first frame takes the starting gains, each
// later one the gains of the frame before plus the steps. The float sum is
// the same as rounding the double sum to float, since double holds more
// than twice float's precision (two roundings of a sum then agree with one).
inline uint64_t mixRampFrames(float* out, const int16_t* data, uint64_t position,
                              uint64_t signedStep, float& gainLeft, float& gainRight,
                              float stepLeft, float stepRight, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        mixFrame(out, data, position, gainLeft, gainRight);
        gainLeft += stepLeft;
        gainRight += stepRight;
        position = advance(position, signedStep);
        out += 2;
    }
    return position;
}

// Steady frames one at a time with constant gains.
inline uint64_t mixSteadyFrames(float* out, const int16_t* data, uint64_t position,
                                uint64_t signedStep, float gainLeft, float gainRight,
                                int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        mixFrame(out, data, position, gainLeft, gainRight);
        position = advance(position, signedStep);
        out += 2;
    }
    return position;
}

} // namespace korvanthe::mixer
