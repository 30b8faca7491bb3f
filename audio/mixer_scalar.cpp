// The scalar path: the reference that the vector paths must equal float for
// float.
#include <cmath>

#include "audio/mixer_frame.h"
#include "audio/mixer_kernels.h"

namespace korvanthe::mixer {

namespace {

int16_t clipSample(float value) {
    // Clamping first to the integer limits gives the same result as rounding
    // first; a NaN ends up at the upper limit.
    value = value <= 32767.0f ? value : 32767.0f;
    value = value >= -32768.0f ? value : -32768.0f;
    return static_cast<int16_t>(std::lrint(value)); // ties to even
}

template <bool Clear>
void clipScalar(int16_t* output, ClippedFloats<Clear> buffer, int32_t sampleCount) {
    for (int32_t i = 0; i < sampleCount; ++i) {
        output[i] = clipSample(buffer[i]);
        if constexpr (Clear) {
            buffer[i] = 0.0f;
        }
    }
}

constexpr Kernels Scalar{mixSteadyFrames, mixRampFrames, clipScalar<false>, clipScalar<true>};

} // namespace

const Kernels* scalarKernels() {
    return &Scalar;
}

} // namespace korvanthe::mixer
