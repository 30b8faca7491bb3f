// Sound synthesis for the song's samples: drums from noise and swept sines,
// tones as sums of harmonics over whole loops so that they loop without a
// click. Signals are doubles around +-1; the converters scale them to frames.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace korvanthe::assetgen {

using Signal = std::vector<double>;

// Relative note and finetune of a sample.
struct Tuning {
    int8_t relativeNote = 0;
    int8_t finetune = 0; // 1/128 semitone
};

// The tuning that makes a sample holding a tone of `toneHz` at `sampleRate`
// sound at concert pitch: note C-4 plays 261.63 Hz (A-4 440 Hz).
Tuning tuneTone(double toneHz, double sampleRate);
// The tuning that plays a sample at its own rate on note C-4 (for drums).
Tuning tuneRate(double sampleRate);

// A sum of harmonics that repeats exactly after `loopFrames` frames.
// Every voice runs `cycles` times per loop (an integer, so the loop is
// seamless); harmonic h of a voice has amplitude amplitude(h) and a fixed
// random phase. Harmonics whose frequency would pass half the loop length
// are left out.
struct LoopVoice {
    int cycles;
    double gain;
};
Signal additiveLoop(int loopFrames, const std::vector<LoopVoice>& voices, int maxHarmonic,
                    const std::function<double(int)>& amplitude, uint32_t seed);

// Drum and noise sounds, all at 44100 Hz unless named otherwise.
Signal kickDrum();
Signal snareDrum();
Signal handClap();
Signal hiHat(double decaySeconds, double lengthSeconds);
Signal crashCymbal();
Signal noiseRiser(double sampleRate, double lengthSeconds); // band-limited noise
// A frequency-modulated bell with a tone of `toneHz` at `sampleRate`.
Signal fmBell(double toneHz, double sampleRate, double lengthSeconds);
// A tone that starts bright and settles to the steady single cycle it ends
// with: the last `period` frames loop seamlessly.
Signal pluckedCycle(int period, int attackCycles, const std::function<double(int)>& bright,
                    const std::function<double(int)>& steady, int maxHarmonic);

// Scales to the given peak (fraction of full scale) and rounds to frames.
std::vector<int16_t> toFrames16(const Signal& signal, double peak);
// 8-bit frames (-128..127) as the writer takes them.
std::vector<int16_t> toFrames8(const Signal& signal, double peak);

} // namespace korvanthe::assetgen
