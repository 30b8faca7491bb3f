// An exact model of the mixer's gain arithmetic for the ramp tests: every
// value a dyadic rational n x 2^e held in integers, and every rounding to
// single or double precision done by hand on the integer (nearest, ties to
// even). It shares no floating-point operation with the mixer, so a result
// that the mixer's float and double operations get wrong shows up here as a
// difference. Valid for the magnitudes of gains and steps (no overflow, no
// subnormals); the asserts in rounding keep it honest.
#pragma once

#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace korvanthe::testing::exact {

struct Dyadic {
    int64_t n; // numerator
    int32_t e; // value = n x 2^e
};

// Significant bits of |n|.
inline int bitsOf(int64_t n) {
    return static_cast<int>(std::bit_width(static_cast<uint64_t>(std::llabs(n))));
}

// Rounds to `bits` significant bits, to nearest with ties to even.
inline Dyadic roundToBits(Dyadic x, int bits) {
    if (x.n == 0) {
        return {0, 0};
    }
    const uint64_t magnitude = static_cast<uint64_t>(std::llabs(x.n));
    const int length = bitsOf(x.n);
    if (length <= bits) {
        return x;
    }
    const int shift = length - bits;
    uint64_t kept = magnitude >> shift;
    const uint64_t dropped = magnitude & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    int carry = 0;
    if (dropped > half || (dropped == half && (kept & 1) != 0)) {
        ++kept;
        if (static_cast<int>(std::bit_width(kept)) > bits) { // rounded up to the next power of two
            kept >>= 1;
            carry = 1;
        }
    }
    const auto rounded = static_cast<int64_t>(kept);
    return {x.n < 0 ? -rounded : rounded, x.e + shift + carry};
}

inline Dyadic single(Dyadic x) {
    return roundToBits(x, 24);
}
inline Dyadic dbl(Dyadic x) {
    return roundToBits(x, 53);
}

inline Dyadic times(Dyadic a, Dyadic b) {
    assert(bitsOf(a.n) + bitsOf(b.n) <= 63);
    return {a.n * b.n, a.e + b.e};
}

inline Dyadic plus(Dyadic a, Dyadic b) {
    if (a.e > b.e) {
        std::swap(a, b);
    }
    const int shift = b.e - a.e; // b's numerator moves to a's exponent
    assert(bitsOf(b.n) + shift <= 62);
    return {a.n + (b.n << shift), a.e};
}

// The value as a float; exact for a value of at most 24 significant bits.
inline float toFloat(Dyadic x) {
    assert(bitsOf(x.n) <= 24);
    return std::ldexp(static_cast<float>(x.n), x.e);
}

// A value of at least 0 rounded to an integer, to nearest with ties to even.
inline int64_t roundToInteger(Dyadic x) {
    assert(x.n >= 0);
    if (x.e >= 0) {
        return x.n << x.e;
    }
    const int64_t whole = x.n >> -x.e;
    const int64_t fraction = x.n & ((int64_t{1} << -x.e) - 1);
    const int64_t half = int64_t{1} << (-x.e - 1);
    return fraction > half || (fraction == half && (whole & 1) != 0) ? whole + 1 : whole;
}

// Whether x lies strictly more than half-way above an integer: the cases
// where truncating and rounding to nearest differ upwards.
inline bool fractionAboveHalf(Dyadic x) {
    if (x.e >= 0 || x.n <= 0) {
        return false;
    }
    const int64_t fraction = x.n & ((int64_t{1} << -x.e) - 1);
    return fraction > (int64_t{1} << (-x.e - 1));
}

// 1/255 in single precision, as the mixer's constant: 8421505 x 2^-31
// (0x808081 x 2^-31 = 0.003921568859368563).
constexpr Dyadic OneOver255{8421505, -31};

// 1/frames rounded to single precision: the 24-bit m with m x 2^-k nearest
// to 1/frames, from integer division.
inline Dyadic inverseOf(int64_t frames) {
    int k = 0;
    while ((int64_t{1} << k) / frames < (int64_t{1} << 23)) {
        ++k;
    }
    const int64_t quotient = (int64_t{1} << k) / frames;
    const int64_t remainder = (int64_t{1} << k) % frames;
    int64_t m = quotient;
    if (2 * remainder > frames || (2 * remainder == frames && (quotient & 1) != 0)) {
        ++m;
    }
    return single({m, -k});
}

// The step of a ramp over `frames` frames by `difference` volume steps:
// difference x (1/255) x (1/frames) in double, stored as single.
inline Dyadic rampStep(int32_t difference, int64_t frames) {
    return single(dbl(times(dbl(times({difference, 0}, OneOver255)), inverseOf(frames))));
}

// The same with each product rounded to single precision: what a mixer
// computing the step in float would get.
inline Dyadic rampStepInSingle(int32_t difference, int64_t frames) {
    return single(times(single(times({difference, 0}, OneOver255)), inverseOf(frames)));
}

// The gain of a level (volume x 256): level x 2^-8 x (1/255), stored as single.
inline Dyadic levelGain(int32_t level) {
    return single(times({level, -8}, OneOver255));
}

// The gain of a volume: volume x (1/255), stored as single.
inline Dyadic volumeGain(int32_t volume) {
    return single(times({volume, 0}, OneOver255));
}

// The gain after one more ramp frame.
inline Dyadic nextGain(Dyadic gain, Dyadic step) {
    return single(plus(gain, step));
}

// gain x 255 x 256: the level before rounding.
inline Dyadic levelOf(Dyadic gain) {
    return times(gain, {255 * 256, 0});
}

} // namespace korvanthe::testing::exact
