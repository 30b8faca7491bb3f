#include "tools/assetgen/exact_math.h"

namespace korvanthe::assetgen {

namespace {

// Rounds to the nearest integer without the C library (|x| < 2^52).
double roundToInteger(double x) {
    constexpr double Magic = 6755399441055744.0; // 1.5 * 2^52
    return (x + Magic) - Magic;
}

} // namespace

double exactSin(double x) {
    if (!(x == x) || x > 1e15 || x < -1e15) {
        return 0.0;
    }
    // Reduce to [-pi/2, pi/2] in quarter turns: x = k * pi/2 + r.
    double k = roundToInteger(x / (0.5 * Pi));
    double r = x - k * (0.5 * Pi);
    long long quadrant = static_cast<long long>(k) & 3;
    double r2 = r * r;
    // Taylor series of sin and cos to the 15th/16th power: the error stays
    // below 1e-12 on |r| <= pi/4 * 1.0001.
    double s =
        r * (1.0 +
             r2 * (-1.0 / 6 +
                   r2 * (1.0 / 120 +
                         r2 * (-1.0 / 5040 + r2 * (1.0 / 362880 +
                                                   r2 * (-1.0 / 39916800 +
                                                         r2 * (1.0 / 6227020800.0 +
                                                               r2 * (-1.0 / 1307674368000.0))))))));
    double c =
        1.0 + r2 * (-0.5 + r2 * (1.0 / 24 +
                                 r2 * (-1.0 / 720 +
                                       r2 * (1.0 / 40320 +
                                             r2 * (-1.0 / 3628800 +
                                                   r2 * (1.0 / 479001600.0 +
                                                         r2 * (-1.0 / 87178291200.0 +
                                                               r2 * (1.0 / 20922789888000.0))))))));
    switch (quadrant) {
    case 0:
        return s;
    case 1:
        return c;
    case 2:
        return -s;
    default:
        return -c;
    }
}

double exactExp(double x) {
    if (x < -700.0) {
        return 0.0;
    }
    if (x > 700.0) {
        x = 700.0;
    }
    constexpr double Ln2 = 0.69314718055994530942;
    double k = roundToInteger(x / Ln2);
    double r = x - k * Ln2; // |r| <= 0.35
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < 20; ++n) {
        term *= r / n;
        sum += term;
    }
    // Scale by 2^k through repeated doubling or halving (exact in binary).
    long long count = static_cast<long long>(k);
    while (count > 0) {
        sum *= 2.0;
        --count;
    }
    while (count < 0) {
        sum *= 0.5;
        ++count;
    }
    return sum;
}

double exactLog(double x) {
    if (!(x > 0.0)) {
        return -1e300;
    }
    // Bring x into [0.5, 1) counting the halvings, then use the series of
    // atanh: ln(m) = 2 * atanh((m - 1) / (m + 1)).
    constexpr double Ln2 = 0.69314718055994530942;
    int exponent = 0;
    while (x >= 1.0) {
        x *= 0.5;
        ++exponent;
    }
    while (x < 0.5) {
        x *= 2.0;
        --exponent;
    }
    double z = (x - 1.0) / (x + 1.0);
    double z2 = z * z;
    double term = z;
    double sum = 0.0;
    for (int n = 1; n < 60; n += 2) {
        sum += term / n;
        term *= z2;
    }
    return 2.0 * sum + exponent * Ln2;
}

} // namespace korvanthe::assetgen
