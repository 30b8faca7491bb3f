// Arithmetic the generator uses for every sample and pixel. The functions are
// written out with plain IEEE operations (no library calls), so the generated
// files have the same bytes on every platform and C library.
#pragma once

#include <cstdint>

namespace korvanthe::assetgen {

constexpr double Pi = 3.14159265358979323846;
constexpr double TwoPi = 2.0 * Pi;

// sin(x) for any finite x, accurate to about 1e-12.
double exactSin(double x);
inline double exactCos(double x) {
    return exactSin(x + 0.5 * Pi);
}
// e^x; 0 below -700, capped above 700.
double exactExp(double x);
// Natural logarithm for x > 0; -1e300 otherwise.
double exactLog(double x);
inline double exactLog2(double x) {
    return exactLog(x) * 1.44269504088896340736;
}
// std::sqrt is exact (correctly rounded) everywhere, so it is used as it is.

inline double clamp01(double x) {
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}
inline double smoothstep(double edge0, double edge1, double x) {
    double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

// A small xorshift generator: the same sequence everywhere for one seed.
class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [0, 1).
    double unit() { return (next() >> 8) * (1.0 / 16777216.0); }
    // Uniform in [-1, 1).
    double bipolar() { return unit() * 2.0 - 1.0; }

  private:
    uint32_t state_;
};

} // namespace korvanthe::assetgen
