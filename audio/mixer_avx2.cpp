// The AVX2 path, chosen at run time where the CPU has it. It must give the
// same floats as the scalar path (audio/mixer_scalar.cpp): every lane does
// the double operations of mixFrame in its order (packed IEEE operations
// round as scalar ones do, and without the fma target nothing is fused), and
// the ramp gains are summed frame by frame as the scalar loop sums them.
//
// With GCC and Clang only. On Windows, where GCC cannot align the stack for
// spilled 32-byte registers, audio/CMakeLists.txt has this file assembled
// with unaligned vector moves (KORVANTHE_UNALIGNED_VECTOR_MOVES); without
// that the path stays out.
#include "audio/mixer_kernels.h"

#if (defined(__SSE2__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__)) &&         \
    (!defined(_WIN32) || defined(KORVANTHE_UNALIGNED_VECTOR_MOVES))
#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "audio/mixer_frame.h"

namespace korvanthe::mixer {

namespace {

// The frame at the position and the one after it as one 32-bit word, the
// first in the low half (little endian), in every lane: a broadcasting load
// (the frame after the position is always readable: the guard frame), which
// needs no shuffle.
__attribute__((target("avx2"))) inline __m128i framePairs(const int16_t* data, uint64_t position) {
    const int16_t* pair = data + static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
#if defined(__clang__)
    float bits; // Clang's _mm_broadcast_ss reads through a float pointer; it folds this itself
    std::memcpy(&bits, pair, sizeof bits);
    return _mm_castps_si128(_mm_set1_ps(bits));
#else
    // GCC's built-in reads the four bytes at any alignment; written as a set
    // and blends, GCC turns the loads into inserts, which are slower.
    return _mm_castps_si128(_mm_broadcast_ss(reinterpret_cast<const float*>(pair)));
#endif
}

// Four frames at a time: lane k of each vector is frame k of the quad. The
// two 16-bit frames each output frame reads come as one 32-bit load (the
// frame after the position is always readable: the guard frame); a gather
// instruction was slower.
//
// Positions without the per-frame clearing: frame k of a run of frames is at
// start + k x stride, with start = the first position with its lowest bit
// cleared, plus 1 for an odd step, and stride = the step less that 1. From
// the second frame on that is the very position advance gives; for the first
// it differs at most in the lowest bit, which neither the frame index nor
// the 31-bit weight reads.
//
// Inside a quad the frames sit in the lanes in the order 0, 2, 1, 3, so that
// duplicating within the 128-bit halves (no lane crossing) yields the values
// of frames 0 and 1, then 2 and 3, each twice for left and right.
struct QuadPositions {
    uint64_t next;      // position of the quad's first frame (as above)
    uint64_t stride;    // per frame
    __m128i fractions;  // the low words of the quad's positions, frames 0, 2, 1, 3
    __m128i quadStride; // the low word of 4 x stride, in every lane
};

__attribute__((target("avx2"))) inline QuadPositions startQuads(uint64_t position,
                                                                uint64_t signedStep) {
    const uint64_t odd = signedStep & 1;
    QuadPositions quad{};
    quad.stride = signedStep - odd;
    quad.next = (position & ~uint64_t{1}) + odd;
    // The low words add up modulo 2^32 as the low words of the 64-bit sums.
    quad.fractions =
        _mm_setr_epi32(static_cast<int32_t>(static_cast<uint32_t>(quad.next)),
                       static_cast<int32_t>(static_cast<uint32_t>(quad.next + 2 * quad.stride)),
                       static_cast<int32_t>(static_cast<uint32_t>(quad.next + quad.stride)),
                       static_cast<int32_t>(static_cast<uint32_t>(quad.next + 3 * quad.stride)));
    quad.quadStride = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(4 * quad.stride)));
    return quad;
}

// The interpolated values of the next four frames, in the lane order 0, 2,
// 1, 3; moves the quad on. The frame pairs come as broadcasting loads blended
// together, which keep the shuffle unit free.
__attribute__((target("avx2"))) inline __m256d quadValues(const int16_t* data,
                                                          QuadPositions& quad) {
    const uint64_t first = quad.next;
    const uint64_t stride = quad.stride;
    const __m128i pair0 = framePairs(data, first);
    const __m128i pair2 = framePairs(data, first + 2 * stride);
    const __m128i pair1 = framePairs(data, first + stride);
    const __m128i pair3 = framePairs(data, first + 3 * stride);
    const __m128i pairs = _mm_blend_epi32(_mm_blend_epi32(pair0, pair2, 0x2),
                                          _mm_blend_epi32(pair1, pair3, 0x8), 0xC);
    // The fractions halved: the weights in 2^-31.
    const __m128i halves = _mm_srli_epi32(quad.fractions, 1);
    quad.next = first + 4 * stride;
    quad.fractions = _mm_add_epi32(quad.fractions, quad.quadStride);
    const __m128i firsts = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16);
    const __m128i rises = _mm_sub_epi32(_mm_srai_epi32(pairs, 16), firsts);
    const __m256d weights = _mm256_mul_pd(_mm256_cvtepi32_pd(halves), _mm256_set1_pd(WeightUnit));
    return _mm256_add_pd(_mm256_cvtepi32_pd(firsts),
                         _mm256_mul_pd(weights, _mm256_cvtepi32_pd(rises)));
}

// Adds the four values (lane order 0, 2, 1, 3) times the gains (left, right,
// left, right of frames 0 and 1, then of frames 2 and 3) into four frames of
// the mix buffer, half a quad at a time.
__attribute__((target("avx2"))) inline void addQuad(float* out, __m256d values, __m256d frontGains,
                                                    __m256d backGains) {
    const __m256d front =
        _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(out)),
                      _mm256_mul_pd(_mm256_unpacklo_pd(values, values), frontGains));
    const __m256d back =
        _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(out + 4)),
                      _mm256_mul_pd(_mm256_unpackhi_pd(values, values), backGains));
    _mm_storeu_ps(out, _mm256_cvtpd_ps(front));
    _mm_storeu_ps(out + 4, _mm256_cvtpd_ps(back));
}

// Steady frames, four at a time. Returns the position after quads x 4 frames.
__attribute__((target("avx2"))) uint64_t mixSteadyQuads(float* out, const int16_t* data,
                                                        uint64_t position, uint64_t signedStep,
                                                        float gainLeft, float gainRight,
                                                        int32_t quads) {
    if (quads <= 0) {
        return position;
    }
    QuadPositions quad = startQuads(position, signedStep);
    const __m256d gains = _mm256_setr_pd(gainLeft, gainRight, gainLeft, gainRight);
    for (int32_t q = 0; q < quads; ++q) {
        addQuad(out, quadValues(data, quad), gains, gains);
        out += 8;
    }
    return quad.next;
}

// Ramp frames, four at a time. The gains of each frame are summed up on the
// way, left and right side by side, as the scalar path does them (the first
// frame takes the starting gains); gainLeft and gainRight come back as the
// gains after the last frame. Returns the position after quads x 4 frames.
__attribute__((target("avx2"))) uint64_t
mixRampQuads(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
             float& gainLeft, float& gainRight, float stepLeft, float stepRight, int32_t quads) {
    if (quads <= 0) {
        return position;
    }
    QuadPositions quad = startQuads(position, signedStep);
    const __m128 steps = _mm_setr_ps(stepLeft, stepRight, 0.0f, 0.0f);
    __m128 gains = _mm_setr_ps(gainLeft, gainRight, 0.0f, 0.0f);
    for (int32_t q = 0; q < quads; ++q) {
        const __m128 first = gains;
        const __m128 second = _mm_add_ps(first, steps);
        const __m128 third = _mm_add_ps(second, steps);
        const __m128 fourth = _mm_add_ps(third, steps);
        gains = _mm_add_ps(fourth, steps);
        addQuad(out, quadValues(data, quad), _mm256_cvtps_pd(_mm_movelh_ps(first, second)),
                _mm256_cvtps_pd(_mm_movelh_ps(third, fourth)));
        out += 8;
    }
    gainLeft = _mm_cvtss_f32(gains);
    gainRight = _mm_cvtss_f32(_mm_shuffle_ps(gains, gains, 1));
    return quad.next;
}

// Sixteen samples at a time, as the SSE2 clipper does eight: the same clamps
// and rounding, and the packing (which works within 128-bit halves) put back
// in order; with Clear the floats set to 0 once read. Returns the number of
// samples done.
template <bool Clear>
__attribute__((target("avx2"))) int32_t clipSixteens(int16_t* output, ClippedFloats<Clear> buffer,
                                                     int32_t sampleCount) {
    const __m256 upper = _mm256_set1_ps(32767.0f);
    const __m256 lower = _mm256_set1_ps(-32768.0f);
    int32_t i = 0;
    for (; i + 16 <= sampleCount; i += 16) {
        const __m256 first =
            _mm256_max_ps(_mm256_min_ps(_mm256_loadu_ps(buffer + i), upper), lower);
        const __m256 second =
            _mm256_max_ps(_mm256_min_ps(_mm256_loadu_ps(buffer + i + 8), upper), lower);
        const __m256i packed =
            _mm256_packs_epi32(_mm256_cvtps_epi32(first), _mm256_cvtps_epi32(second));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + i),
                            _mm256_permute4x64_epi64(packed, 0xD8));
        if constexpr (Clear) {
            _mm256_storeu_ps(buffer + i, _mm256_setzero_ps());
            _mm256_storeu_ps(buffer + i + 8, _mm256_setzero_ps());
        }
    }
    return i;
}

__attribute__((target("avx2"))) uint64_t mixSteadyAvx2(float* out, const int16_t* data,
                                                       uint64_t position, uint64_t signedStep,
                                                       float gainLeft, float gainRight,
                                                       int32_t frames) {
    const int32_t quads = frames >> 2;
    position = mixSteadyQuads(out, data, position, signedStep, gainLeft, gainRight, quads);
    return mixSteadyFrames(out + static_cast<std::ptrdiff_t>(quads) * 8, data, position, signedStep,
                           gainLeft, gainRight, frames & 3);
}

__attribute__((target("avx2"))) uint64_t
mixRampAvx2(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
            float& gainLeft, float& gainRight, float stepLeft, float stepRight, int32_t frames) {
    const int32_t quads = frames >> 2;
    position = mixRampQuads(out, data, position, signedStep, gainLeft, gainRight, stepLeft,
                            stepRight, quads);
    return mixRampFrames(out + static_cast<std::ptrdiff_t>(quads) * 8, data, position, signedStep,
                         gainLeft, gainRight, stepLeft, stepRight, frames & 3);
}

__attribute__((target("avx2"))) void clipAvx2(int16_t* output, const float* buffer,
                                              int32_t sampleCount) {
    const int32_t done = clipSixteens<false>(output, buffer, sampleCount);
    scalarKernels()->clip(output + done, buffer + done, sampleCount - done);
}

__attribute__((target("avx2"))) void clipAndClearAvx2(int16_t* output, float* buffer,
                                                      int32_t sampleCount) {
    const int32_t done = clipSixteens<true>(output, buffer, sampleCount);
    scalarKernels()->clipAndClear(output + done, buffer + done, sampleCount - done);
}

constexpr Kernels Avx2{mixSteadyAvx2, mixRampAvx2, clipAvx2, clipAndClearAvx2};

} // namespace

const Kernels* avx2Kernels() {
    static const bool cpuHasAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return cpuHasAvx2 ? &Avx2 : nullptr;
}

} // namespace korvanthe::mixer

#else

const korvanthe::mixer::Kernels* korvanthe::mixer::avx2Kernels() {
    return nullptr;
}

#endif
