#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

#include "tools/assetgen/exact_math.h"

namespace korvanthe::assetgen {

namespace {

constexpr double DrumRate = 44100.0;
constexpr double MiddleC = 261.6255653005986; // C-4 with A-4 at 440 Hz
constexpr double BaseRate = 8363.0;           // C-4 of a sample without tuning

double softClip(double x) {
    double e = exactExp(2.0 * x);
    return (e - 1.0) / (e + 1.0);
}

int frameCount(double seconds, double rate) {
    return static_cast<int>(seconds * rate);
}

// A one-pole low-pass filter; `cutoff` in Hz.
class LowPass {
  public:
    LowPass(double cutoff, double rate) : k_(1.0 - exactExp(-TwoPi * cutoff / rate)) {}
    double run(double x) { return y_ += k_ * (x - y_); }

  private:
    double k_;
    double y_ = 0.0;
};

// Metallic noise: square waves at unrelated frequencies plus white noise.
double metal(double t, Random& random) {
    constexpr double Frequencies[] = {540.0, 800.0, 1043.0, 1306.0, 1587.0, 2123.0};
    double sum = 0.0;
    for (double f : Frequencies) {
        sum += exactSin(TwoPi * f * t) >= 0.0 ? 1.0 : -1.0;
    }
    return sum / 6.0 * 0.6 + random.bipolar() * 0.7;
}

Tuning tuningForRate(double playbackRate) {
    double semitones = 12.0 * exactLog2(playbackRate / BaseRate);
    double whole = std::floor(semitones + 0.5);
    double fine = std::floor((semitones - whole) * 128.0 + 0.5);
    Tuning tuning;
    tuning.relativeNote = static_cast<int8_t>(whole);
    tuning.finetune = static_cast<int8_t>(std::clamp(fine, -128.0, 127.0));
    return tuning;
}

std::vector<int16_t> toFrames(const Signal& signal, double peak, double fullScale) {
    double largest = 1e-9;
    for (double v : signal) {
        largest = std::max(largest, std::fabs(v));
    }
    double scale = peak * fullScale / largest;
    std::vector<int16_t> frames;
    frames.reserve(signal.size());
    for (double v : signal) {
        double rounded = std::floor(v * scale + 0.5);
        frames.push_back(static_cast<int16_t>(std::clamp(rounded, -fullScale - 1, fullScale)));
    }
    return frames;
}

} // namespace

Tuning tuneTone(double toneHz, double sampleRate) {
    return tuningForRate(MiddleC * sampleRate / toneHz);
}

Tuning tuneRate(double sampleRate) {
    return tuningForRate(sampleRate);
}

Signal additiveLoop(int loopFrames, const std::vector<LoopVoice>& voices, int maxHarmonic,
                    const std::function<double(int)>& amplitude, uint32_t seed) {
    Random random(seed);
    Signal signal(static_cast<size_t>(loopFrames), 0.0);
    for (const LoopVoice& voice : voices) {
        for (int h = 1; h <= maxHarmonic; ++h) {
            long long cyclesPerLoop = static_cast<long long>(voice.cycles) * h;
            if (cyclesPerLoop * 2 >= loopFrames) {
                break;
            }
            double phase = random.unit() * TwoPi;
            double gain = voice.gain * amplitude(h);
            for (int n = 0; n < loopFrames; ++n) {
                // The whole turns are dropped in integers, so the phase is
                // exact at every frame and the loop closes perfectly.
                long long turnFrames = (cyclesPerLoop * n) % loopFrames;
                signal[static_cast<size_t>(n)] +=
                    gain * exactSin(phase + TwoPi * static_cast<double>(turnFrames) / loopFrames);
            }
        }
    }
    return signal;
}

Signal kickDrum() {
    Random random(0x4B1Cu);
    Signal signal(static_cast<size_t>(frameCount(0.42, DrumRate)));
    double phase = 0.0;
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / DrumRate;
        double frequency = 44.0 + 120.0 * exactExp(-t / 0.028) + 30.0 * exactExp(-t / 0.005);
        phase += TwoPi * frequency / DrumRate;
        double body = exactSin(phase) * exactExp(-t / 0.2) * std::min(1.0, t / 0.0008);
        double click = random.bipolar() * exactExp(-t / 0.0015) * 0.35;
        signal[n] = softClip(1.6 * (body + click));
    }
    return signal;
}

Signal snareDrum() {
    Random random(0x5A4Eu);
    Signal signal(static_cast<size_t>(frameCount(0.32, DrumRate)));
    LowPass air(7000.0, DrumRate);
    LowPass body(1200.0, DrumRate);
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / DrumRate;
        double tone = (exactSin(TwoPi * 185.0 * t) + 0.6 * exactSin(TwoPi * 330.0 * t)) *
                      exactExp(-t / 0.045);
        double white = random.bipolar();
        double noise = (air.run(white) - 0.5 * body.run(white)) * exactExp(-t / 0.085);
        signal[n] = softClip(0.55 * tone + 1.5 * noise);
    }
    return signal;
}

Signal handClap() {
    Random random(0xC1A9u);
    Signal signal(static_cast<size_t>(frameCount(0.3, DrumRate)));
    LowPass high(5200.0, DrumRate);
    LowPass low(900.0, DrumRate);
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / DrumRate;
        double level = 0.0;
        for (double start : {0.0, 0.011, 0.022}) {
            if (t >= start) {
                level = std::max(level, exactExp(-(t - start) / 0.0045));
            }
        }
        if (t >= 0.022) {
            level = std::max(level, 0.7 * exactExp(-(t - 0.022) / 0.07));
        }
        double white = random.bipolar();
        signal[n] = (high.run(white) - low.run(white)) * level;
    }
    return signal;
}

Signal hiHat(double decaySeconds, double lengthSeconds) {
    Random random(0x4A7Eu);
    Signal signal(static_cast<size_t>(frameCount(lengthSeconds, DrumRate)));
    double previous = 0.0;
    double previousHigh = 0.0;
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / DrumRate;
        double x = metal(t, random);
        // Two first differences: a steep high-pass that leaves the sizzle.
        double high = x - previous;
        previous = x;
        double higher = high - 0.5 * previousHigh;
        previousHigh = high;
        signal[n] = higher * exactExp(-t / decaySeconds) * std::min(1.0, t / 0.0005);
    }
    return signal;
}

Signal crashCymbal() {
    Random random(0xC2A5u);
    Signal signal(static_cast<size_t>(frameCount(1.5, DrumRate)));
    double previous = 0.0;
    LowPass shimmer(9000.0, DrumRate);
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / DrumRate;
        double x = 0.5 * metal(t * 1.37, random) + random.bipolar();
        double high = x - 0.85 * previous;
        previous = x;
        signal[n] = shimmer.run(high) * (exactExp(-t / 0.5) * 0.85 + 0.15 * exactExp(-t / 0.05));
    }
    return signal;
}

Signal noiseRiser(double sampleRate, double lengthSeconds) {
    Random random(0x7153u);
    Signal signal(static_cast<size_t>(frameCount(lengthSeconds, sampleRate)));
    LowPass low(2500.0, sampleRate);
    LowPass lower(400.0, sampleRate);
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / sampleRate;
        double white = random.bipolar();
        double band = low.run(white) - lower.run(white);
        // A slow swirl of level so the ping-pong loop breathes.
        signal[n] = band * (0.8 + 0.2 * exactSin(TwoPi * 3.0 * t));
    }
    return signal;
}

Signal fmBell(double toneHz, double sampleRate, double lengthSeconds) {
    Signal signal(static_cast<size_t>(frameCount(lengthSeconds, sampleRate)));
    for (size_t n = 0; n < signal.size(); ++n) {
        double t = static_cast<double>(n) / sampleRate;
        double index = 2.2 * exactExp(-t / 0.35) + 0.3;
        double modulator = exactSin(TwoPi * toneHz * 3.5 * t) * index;
        double tone =
            exactSin(TwoPi * toneHz * t + modulator) + 0.25 * exactSin(TwoPi * toneHz * 2.0 * t);
        signal[n] = tone * exactExp(-t / 0.55) * std::min(1.0, t / 0.002);
    }
    return signal;
}

Signal pluckedCycle(int period, int attackCycles, const std::function<double(int)>& bright,
                    const std::function<double(int)>& steady, int maxHarmonic) {
    const int attackFrames = period * attackCycles;
    Signal signal(static_cast<size_t>(attackFrames + period), 0.0);
    for (int h = 1; h <= maxHarmonic && h * 2 < period; ++h) {
        double brightLevel = bright(h);
        double steadyLevel = steady(h);
        for (size_t n = 0; n < signal.size(); ++n) {
            // The brightness fades out quadratically and is gone exactly
            // when the looped last cycle begins.
            double left = 1.0 - static_cast<double>(n) / attackFrames;
            double blend = left > 0.0 ? left * left : 0.0;
            double level = steadyLevel + (brightLevel - steadyLevel) * blend;
            long long position = (static_cast<long long>(h) * static_cast<long long>(n)) % period;
            signal[n] += level * exactSin(TwoPi * static_cast<double>(position) / period);
        }
    }
    return signal;
}

std::vector<int16_t> toFrames16(const Signal& signal, double peak) {
    return toFrames(signal, peak, 32767.0);
}

std::vector<int16_t> toFrames8(const Signal& signal, double peak) {
    return toFrames(signal, peak, 127.0);
}

} // namespace korvanthe::assetgen
