// The wasm SIMD path, for the browser edition (compiled with -msimd128 there;
// elsewhere the path is absent). It must give the same floats as the scalar
// path (audio/mixer_scalar.cpp): every lane does the double operations of
// mixFrame in its order, two at a time (wasm has no fused operations, and its
// packed IEEE operations round as scalar ones do), and the ramp gains are
// summed frame by frame as the scalar loop sums them. The layout follows the
// AVX2 path (audio/mixer_avx2.cpp), with 128-bit vectors.
#include "audio/mixer_kernels.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include <cstddef>
#include <cstring>

#include "audio/mixer_frame.h"

namespace korvanthe::mixer {

namespace {

// The frame at the position and the one after it as one 32-bit word, the
// first in the low half (wasm is little endian). The frame after the
// position is always readable: the guard frame.
inline int32_t framePair(const int16_t* data, uint64_t position) {
    int32_t pair;
    std::memcpy(&pair, data + static_cast<int32_t>(static_cast<uint32_t>(position >> 32)),
                sizeof pair);
    return pair;
}

// Positions without the per-frame clearing, as on the AVX2 path: frame k of
// a run is at start + k x stride, with start = the first position with its
// lowest bit cleared, plus 1 for an odd step, and stride = the step less
// that 1. That differs from what advance gives at most in the lowest bit of
// the first frame, which neither the frame index nor the 31-bit weight reads.
struct QuadPositions {
    uint64_t next;     // position of the quad's first frame (as above)
    uint64_t stride;   // per frame
    v128_t fractions;  // the low words of the quad's four positions
    v128_t quadStride; // the low word of 4 x stride, in every lane
};

inline QuadPositions startQuads(uint64_t position, uint64_t signedStep) {
    const uint64_t odd = signedStep & 1;
    QuadPositions quad{};
    quad.stride = signedStep - odd;
    quad.next = (position & ~uint64_t{1}) + odd;
    // The low words add up modulo 2^32 as the low words of the 64-bit sums.
    quad.fractions =
        wasm_i32x4_make(static_cast<int32_t>(static_cast<uint32_t>(quad.next)),
                        static_cast<int32_t>(static_cast<uint32_t>(quad.next + quad.stride)),
                        static_cast<int32_t>(static_cast<uint32_t>(quad.next + 2 * quad.stride)),
                        static_cast<int32_t>(static_cast<uint32_t>(quad.next + 3 * quad.stride)));
    quad.quadStride =
        wasm_i32x4_splat(static_cast<int32_t>(static_cast<uint32_t>(4 * quad.stride)));
    return quad;
}

// The interpolated values of the next four frames, frames 0 and 1 in `front`
// and 2 and 3 in `back`; moves the quad on.
inline void quadValues(const int16_t* data, QuadPositions& quad, v128_t& front, v128_t& back) {
    const uint64_t first = quad.next;
    const uint64_t stride = quad.stride;
    const v128_t pairs =
        wasm_i32x4_make(framePair(data, first), framePair(data, first + stride),
                        framePair(data, first + 2 * stride), framePair(data, first + 3 * stride));
    // The fractions halved: the weights in 2^-31, below 2^31, so converting
    // them as signed words is exact.
    const v128_t halves = wasm_u32x4_shr(quad.fractions, 1);
    quad.next = first + 4 * stride;
    quad.fractions = wasm_i32x4_add(quad.fractions, quad.quadStride);
    const v128_t firsts = wasm_i32x4_shr(wasm_i32x4_shl(pairs, 16), 16);
    const v128_t rises = wasm_i32x4_sub(wasm_i32x4_shr(pairs, 16), firsts);
    const v128_t unit = wasm_f64x2_splat(WeightUnit);
    const auto valuesOfLow = [unit](v128_t halvesLow, v128_t firstsLow, v128_t risesLow) {
        const v128_t weights = wasm_f64x2_mul(wasm_f64x2_convert_low_i32x4(halvesLow), unit);
        return wasm_f64x2_add(wasm_f64x2_convert_low_i32x4(firstsLow),
                              wasm_f64x2_mul(weights, wasm_f64x2_convert_low_i32x4(risesLow)));
    };
    front = valuesOfLow(halves, firsts, rises);
    back = valuesOfLow(wasm_i32x4_shuffle(halves, halves, 2, 3, 2, 3),
                       wasm_i32x4_shuffle(firsts, firsts, 2, 3, 2, 3),
                       wasm_i32x4_shuffle(rises, rises, 2, 3, 2, 3));
}

// Adds two values (frames 0 and 1 of `values`) times their gains (left and
// right of each frame) into two frames of the mix buffer.
inline void addPair(float* out, v128_t values, v128_t firstGains, v128_t secondGains) {
    const v128_t mixed = wasm_v128_load(out); // left 0, right 0, left 1, right 1
    const v128_t frame0 =
        wasm_f64x2_add(wasm_f64x2_promote_low_f32x4(mixed),
                       wasm_f64x2_mul(wasm_i64x2_shuffle(values, values, 0, 0), firstGains));
    const v128_t frame1 =
        wasm_f64x2_add(wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(mixed, mixed, 2, 3, 2, 3)),
                       wasm_f64x2_mul(wasm_i64x2_shuffle(values, values, 1, 1), secondGains));
    wasm_v128_store(out, wasm_i64x2_shuffle(wasm_f32x4_demote_f64x2_zero(frame0),
                                            wasm_f32x4_demote_f64x2_zero(frame1), 0, 2));
}

// Steady frames, four at a time. Returns the position after quads x 4 frames.
uint64_t mixSteadyQuads(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                        float gainLeft, float gainRight, int32_t quads) {
    if (quads <= 0) {
        return position;
    }
    QuadPositions quad = startQuads(position, signedStep);
    const v128_t gains = wasm_f64x2_make(gainLeft, gainRight);
    for (int32_t q = 0; q < quads; ++q) {
        v128_t front;
        v128_t back;
        quadValues(data, quad, front, back);
        addPair(out, front, gains, gains);
        addPair(out + 4, back, gains, gains);
        out += 8;
    }
    return quad.next;
}

// Ramp frames, four at a time, the gains of each frame summed up on the way
// in single precision, left and right side by side, as the scalar path sums
// them (the first frame takes the starting gains). gainLeft and gainRight
// come back as the gains after the last frame.
uint64_t mixRampQuads(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                      float& gainLeft, float& gainRight, float stepLeft, float stepRight,
                      int32_t quads) {
    if (quads <= 0) {
        return position;
    }
    QuadPositions quad = startQuads(position, signedStep);
    const v128_t steps = wasm_f32x4_make(stepLeft, stepRight, 0.0f, 0.0f);
    v128_t gains = wasm_f32x4_make(gainLeft, gainRight, 0.0f, 0.0f);
    for (int32_t q = 0; q < quads; ++q) {
        const v128_t first = gains;
        const v128_t second = wasm_f32x4_add(first, steps);
        const v128_t third = wasm_f32x4_add(second, steps);
        const v128_t fourth = wasm_f32x4_add(third, steps);
        gains = wasm_f32x4_add(fourth, steps);
        v128_t front;
        v128_t back;
        quadValues(data, quad, front, back);
        addPair(out, front, wasm_f64x2_promote_low_f32x4(first),
                wasm_f64x2_promote_low_f32x4(second));
        addPair(out + 4, back, wasm_f64x2_promote_low_f32x4(third),
                wasm_f64x2_promote_low_f32x4(fourth));
        out += 8;
    }
    gainLeft = wasm_f32x4_extract_lane(gains, 0);
    gainRight = wasm_f32x4_extract_lane(gains, 1);
    return quad.next;
}

uint64_t mixSteadySimd128(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                          float gainLeft, float gainRight, int32_t frames) {
    const int32_t quads = frames >> 2;
    position = mixSteadyQuads(out, data, position, signedStep, gainLeft, gainRight, quads);
    return mixSteadyFrames(out + static_cast<std::ptrdiff_t>(quads) * 8, data, position, signedStep,
                           gainLeft, gainRight, frames & 3);
}

uint64_t mixRampSimd128(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                        float& gainLeft, float& gainRight, float stepLeft, float stepRight,
                        int32_t frames) {
    const int32_t quads = frames >> 2;
    position = mixRampQuads(out, data, position, signedStep, gainLeft, gainRight, stepLeft,
                            stepRight, quads);
    return mixRampFrames(out + static_cast<std::ptrdiff_t>(quads) * 8, data, position, signedStep,
                         gainLeft, gainRight, stepLeft, stepRight, frames & 3);
}

// Eight at a time. The pseudo-minimum and -maximum (b < a ? b : a) clamp as
// the scalar comparisons do, a NaN taking the upper limit; wasm's own min
// and max would pass the NaN on. Rounding to nearest, ties to even, then
// converting is exact on the clamped range, as lrint is. With Clear the
// floats are set to 0 once read.
template <bool Clear>
void clipSimd128(int16_t* output, ClippedFloats<Clear> buffer, int32_t sampleCount) {
    const v128_t upper = wasm_f32x4_splat(32767.0f);
    const v128_t lower = wasm_f32x4_splat(-32768.0f);
    const auto clamped = [upper, lower](const float* samples) {
        const v128_t below = wasm_f32x4_pmin(upper, wasm_v128_load(samples));
        return wasm_i32x4_trunc_sat_f32x4(wasm_f32x4_nearest(wasm_f32x4_pmax(lower, below)));
    };
    int32_t i = 0;
    for (; i + 8 <= sampleCount; i += 8) {
        wasm_v128_store(output + i,
                        wasm_i16x8_narrow_i32x4(clamped(buffer + i), clamped(buffer + i + 4)));
        if constexpr (Clear) {
            wasm_v128_store(buffer + i, wasm_f32x4_splat(0.0f));
            wasm_v128_store(buffer + i + 4, wasm_f32x4_splat(0.0f));
        }
    }
    if constexpr (Clear) {
        scalarKernels()->clipAndClear(output + i, buffer + i, sampleCount - i);
    } else {
        scalarKernels()->clip(output + i, buffer + i, sampleCount - i);
    }
}

constexpr Kernels Simd128{mixSteadySimd128, mixRampSimd128, clipSimd128<false>,
                          clipSimd128<true>};

} // namespace

const Kernels* simd128Kernels() {
    return &Simd128;
}

} // namespace korvanthe::mixer

#else

const korvanthe::mixer::Kernels* korvanthe::mixer::simd128Kernels() {
    return nullptr;
}

#endif
