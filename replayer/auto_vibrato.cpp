#include "replayer/voice_update.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace korvanthe {

namespace {

// truncate(sin(q x 0.02454368770122528) x 64) for q = 0..255, in double; the
// constant is 2pi/256 rounded to single precision, a little below pi/128, so
// q = 64 gives 63 and q = 128 gives 0. Tabled so every platform's sin agrees.
constexpr std::array<int8_t, 256> AutoVibratoSine = {
    0,   1,   3,   4,   6,   7,   9,   10,  12,  14,  15,  17,  18,  20,  21,  23,  // 0..15
    24,  25,  27,  28,  30,  31,  32,  34,  35,  36,  38,  39,  40,  41,  42,  44,  // 16..31
    45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  54,  55,  56,  57,  57,  58,  // 32..47
    59,  59,  60,  60,  61,  61,  62,  62,  62,  63,  63,  63,  63,  63,  63,  63,  // 48..63
    63,  63,  63,  63,  63,  63,  63,  63,  62,  62,  62,  61,  61,  60,  60,  59,  // 64..79
    59,  58,  57,  57,  56,  55,  54,  54,  53,  52,  51,  50,  49,  48,  47,  46,  // 80..95
    45,  44,  42,  41,  40,  39,  38,  36,  35,  34,  32,  31,  30,  28,  27,  25,  // 96..111
    24,  23,  21,  20,  18,  17,  15,  14,  12,  10,  9,   7,   6,   4,   3,   1,   // 112..127
    0,   -1,  -3,  -4,  -6,  -7,  -9,  -10, -12, -14, -15, -17, -18, -20, -21, -23, // 128..143
    -24, -25, -27, -28, -30, -31, -32, -34, -35, -36, -38, -39, -40, -41, -42, -44, // 144..159
    -45, -46, -47, -48, -49, -50, -51, -52, -53, -54, -54, -55, -56, -57, -57, -58, // 160..175
    -59, -59, -60, -60, -61, -61, -62, -62, -62, -63, -63, -63, -63, -63, -63, -63, // 176..191
    -63, -63, -63, -63, -63, -63, -63, -63, -62, -62, -62, -61, -61, -60, -60, -59, // 192..207
    -59, -58, -57, -57, -56, -55, -54, -54, -53, -52, -51, -50, -49, -48, -47, -46, // 208..223
    -45, -44, -42, -41, -40, -39, -38, -36, -35, -34, -32, -31, -30, -28, -27, -25, // 224..239
    -24, -23, -21, -20, -18, -17, -15, -14, -12, -10, -9,  -7,  -6,  -4,  -3,  -1,  // 240..255
};
static_assert(AutoVibratoSine.size() == 256, "one value per autovibrato phase");

int32_t autoVibratoWave(uint8_t type, int32_t phase) {
    switch (type) {
    case 0:
        return AutoVibratoSine[static_cast<std::size_t>(phase)];
    case 1:
        return phase < 128 ? 64 : -64;
    case 2: // ramp down: 0, falling to -64 at 127, 64 at 128 falling to 0
        return (128 - ((phase + 128) % 256)) >> 1;
    case 3: // ramp up: 0, rising to 64 at 128, -64 at 129 rising to -1
        return (128 - ((384 - phase) % 256)) >> 1;
    default: // no waveform: no autovibrato
        return 0;
    }
}

} // namespace

void applyAutoVibrato(Channel* channel, const Instrument* instrument) {
    if (instrument == nullptr) {
        instrument = &emptyInstrument;
    }
    const int32_t phase = channel->autoVibratoPos & 255;
    int32_t delta = autoVibratoWave(instrument->vibratoType, phase) * instrument->vibratoDepth;
    if (instrument->vibratoSweep != 0) {
        delta = (channel->autoVibratoSweep * delta) / instrument->vibratoSweep;
    }
    channel->periodDelta += delta >> 6;

    channel->autoVibratoSweep =
        std::min(channel->autoVibratoSweep + 1, static_cast<int32_t>(instrument->vibratoSweep));
    channel->autoVibratoPos = phase + instrument->vibratoRate;
    if (channel->autoVibratoPos > 255) {
        channel->autoVibratoPos -= 256;
    }
    channel->updateFlags |= UpdateFrequency;
}

} // namespace korvanthe
