#include "replayer/periods.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace korvanthe {

namespace {

// 1/12 as a single-precision value (0.0833333358168602), used in a double
// power: the Amiga periods depend on it being a little above 1/12.
constexpr double AmigaOctaveFraction = static_cast<double>(1.0f / 12.0f);

// The period k semitone-steps above the note on the Amiga table's 13.375 scale.
int32_t amigaStep(int32_t k, int32_t note) {
    return static_cast<int32_t>(std::pow(2.0, (k - note) * AmigaOctaveFraction) * 13.375);
}

} // namespace

int32_t linearPeriod(int32_t realNote, int32_t finetune) {
    return 7680 - 64 * realNote - finetune / 2;
}

int32_t amigaPeriod(int32_t note, int32_t finetune) {
    // Sanity check: notes far outside the keyboard (none is below 0 or above
    // 255 + an arpeggio's 15) are taken as -128 or 1023, which keeps every
    // power and product inside 32 bits.
    note = std::clamp(note, -128, 1023);
    finetune = std::clamp(finetune, -128, 127);
    const int32_t base = amigaStep(132, note);
    if (finetune >= 0 || note == 0) {
        return base + ((base - amigaStep(131, note)) * finetune) / -128;
    }
    return base + ((base - amigaStep(133, note)) * std::abs(finetune)) / -128;
}

int32_t notePeriod(const Module* module, int32_t realNote, int32_t finetune) {
    if (module != nullptr && (module->flags & ModuleLinearFrequencies) != 0) {
        return linearPeriod(realNote, finetune);
    }
    return amigaPeriod(realNote, finetune);
}

} // namespace korvanthe
