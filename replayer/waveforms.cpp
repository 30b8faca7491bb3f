#include "replayer/waveforms.h"

#include <array>
#include <cstddef>

namespace korvanthe {

namespace {

// |sin(p x 2 x 0.049087375) x 256| truncated, for |p| = 0..32: the decimal
// constant lies a little below pi/64, so the peak at 16 is 255 (255.99999999999).
// A table, not a runtime sin: that peak is 1.4e-11 below 256.
constexpr std::array<uint8_t, 33> SineWave = {
    0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212, 225, 236, 244, 251, 254, // 0..15
    255, 254, 251, 244, 236, 225, 212, 197, 181, 162, 142, 120, 97,  74,  49,  25,  // 16..31
    0,                                                                              // 32
};
static_assert(SineWave.size() == 33, "one value per |phase| 0..32");

enum WaveShape { Sine, Ramp, Square };

int32_t waveValue(WaveShape shape, int32_t phase) {
    phase = ((phase + 32) & 63) - 32; // -32..31 as is; any other phase wraps into it
    switch (shape) {
    case Sine:
        return SineWave[static_cast<std::size_t>(phase < 0 ? -phase : phase)];
    case Ramp:
        // 0..248 for phases 0..31; 255 at -32 down to 7 at -1.
        return phase >= 0 ? (phase * 8) & 255 : 255 - ((phase * 8) & 255);
    case Square:
        break;
    }
    return 255;
}

} // namespace

int32_t vibratoWaveform(uint8_t waveControl, int32_t phase) {
    static constexpr std::array<WaveShape, 4> Shapes = {Sine, Ramp, Square, Square};
    return waveValue(Shapes[waveControl & 3], phase);
}

int32_t tremoloWaveform(uint8_t waveControl, int32_t phase) {
    static constexpr std::array<WaveShape, 4> Shapes = {Sine, Ramp, Square, Sine};
    return waveValue(Shapes[(waveControl >> 4) & 3], phase);
}

int8_t advanceWavePhase(int8_t phase, uint8_t speed) {
    int32_t next = phase + speed;
    if (next > 31) {
        next -= 64;
    }
    return static_cast<int8_t>(next);
}

} // namespace korvanthe
