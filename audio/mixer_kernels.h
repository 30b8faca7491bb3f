// The mixer's inner loops, once per code path. Every path gives the same
// floats as the scalar one; they differ only in speed. mixVoices and
// clipToPcm16 take the active path's loops (audio/mixer_path.h).
#pragma once

#include <cstdint>
#include <type_traits>

namespace korvanthe::mixer {

// The mix buffer a clipper reads, and with Clear also sets to 0.
template <bool Clear> using ClippedFloats = std::conditional_t<Clear, float*, const float*>;

struct Kernels {
    // `frames` steady frames from `position` with constant gains; returns the
    // position after them.
    uint64_t (*mixSteady)(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                          float gainLeft, float gainRight, int32_t frames);
    // `frames` ramp frames (audio/mixer_frame.h, mixRampFrames); the gains
    // come back as those after the last frame. Returns the position after them.
    uint64_t (*mixRamp)(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                        float& gainLeft, float& gainRight, float stepLeft, float stepRight,
                        int32_t frames);
    // sampleCount samples rounded (ties to even), clamped to -32768..32767 (a
    // NaN to 32767) and stored.
    void (*clip)(int16_t* output, const float* buffer, int32_t sampleCount);
    // The same, and each float set to 0 once read, in the same pass.
    void (*clipAndClear)(int16_t* output, float* buffer, int32_t sampleCount);
};

// Each path's loops; null where this build or this CPU lacks the path.
const Kernels* scalarKernels();
const Kernels* sse2Kernels();
const Kernels* avx2Kernels();
const Kernels* avx512Kernels();
const Kernels* simd128Kernels(); // wasm SIMD, in the browser edition

// The loops of the active path.
const Kernels& activeKernels();

} // namespace korvanthe::mixer
