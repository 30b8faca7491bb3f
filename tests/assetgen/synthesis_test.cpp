// The arithmetic and synthesis the song's samples rest on: the exact math
// matches the C library, tunings land on concert pitch, and looped tones
// close their loops without a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/assetgen/exact_math.h"
#include "tools/assetgen/synth.h"

namespace korvanthe::assetgen {
namespace {

TEST(ExactMath, MatchesTheLibrary) {
    constexpr double Points[] = {-1000.5, -7.0, -3.2, -1.0,    -0.25, 0.0,    1e-9,
                                 0.5,     1.0,  2.0,  3.14159, 6.5,   100.25, 12345.678};
    for (double x : Points) {
        EXPECT_NEAR(exactSin(x), std::sin(x), 1e-11) << x;
        EXPECT_NEAR(exactCos(x), std::cos(x), 1e-11) << x;
        if (x > -700 && x < 20) {
            EXPECT_NEAR(exactExp(x) / std::exp(x), 1.0, 1e-13) << x;
        }
        if (x > 0) {
            EXPECT_NEAR(exactLog(x), std::log(x), 1e-12) << x;
        }
    }
}

// The note C-4 of a tuned sample plays at 8363 x 2^((relative + finetune / 128) / 12)
// frames per second.
double middleCOf(double toneHz, double sampleRate, Tuning tuning) {
    double semitones = tuning.relativeNote + tuning.finetune / 128.0;
    return toneHz * 8363.0 * std::pow(2.0, semitones / 12.0) / sampleRate;
}

TEST(Tuning, TonesLandOnConcertPitch) {
    const struct {
        double toneHz;
        double sampleRate;
    } cases[] = {{172.265625, 22050.0}, {220.5, 22050.0}, {441.0, 22050.0},
                 {523.25, 22050.0},     {55.0, 44100.0},  {1000.0, 8000.0}};
    for (const auto& c : cases) {
        double played = middleCOf(c.toneHz, c.sampleRate, tuneTone(c.toneHz, c.sampleRate));
        double cents = 1200.0 * std::log2(played / 261.6255653);
        EXPECT_LT(std::fabs(cents), 0.5) << c.toneHz << " Hz at " << c.sampleRate;
    }
    Tuning drums = tuneRate(44100.0); // plays at its own rate on C-4
    EXPECT_EQ(drums.relativeNote, 29);
    EXPECT_EQ(drums.finetune, -28);
}

// The step from the last frame back to the first is no larger than the
// largest step inside the loop.
void expectSeamless(const Signal& signal, size_t loopStart, const char* what) {
    double largest = 0.0;
    for (size_t i = loopStart + 1; i < signal.size(); ++i) {
        largest = std::max(largest, std::fabs(signal[i] - signal[i - 1]));
    }
    EXPECT_LE(std::fabs(signal[loopStart] - signal.back()), largest * 1.01) << what;
}

TEST(Synthesis, LoopsCloseWithoutAClick) {
    Signal pad = additiveLoop(
        12800, {{127, 0.8}, {128, 1.0}, {129, 0.8}}, 22, [](int h) { return 1.0 / h; }, 7);
    expectSeamless(pad, 0, "additive loop");
    constexpr int Period = 128;
    Signal pluck = pluckedCycle(
        Period, 24, [](int h) { return 1.0 / h; }, [](int h) { return 0.5 / (h * h); }, 40);
    expectSeamless(pluck, pluck.size() - Period, "plucked cycle");
}

} // namespace
} // namespace korvanthe::assetgen
