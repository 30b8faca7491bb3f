// The SSE2 path. It must give the same floats as the scalar path
// (audio/mixer_scalar.cpp): it does the same double operations in the same
// order, two frames or samples side by side, and packed IEEE operations
// round as scalar ones do. Ramps have no SSE2 loop of their own.
#include "audio/mixer_kernels.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>

#include "audio/mixer_frame.h"

namespace korvanthe::mixer {

namespace {

// Two steady frames: the frame at position and the one a step on. Returns
// the position after both.
inline uint64_t mixFramePair(float* out, const int16_t* data, uint64_t position,
                             uint64_t signedStep, float gainLeft, float gainRight) {
    const uint64_t next = advance(position, signedStep);
    const int32_t whole0 = static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
    const int32_t whole1 = static_cast<int32_t>(static_cast<uint32_t>(next >> 32));
    const int32_t first0 = data[whole0];
    const int32_t first1 = data[whole1];
    const __m128i firsts = _mm_setr_epi32(first0, first1, 0, 0);
    const __m128i rises =
        _mm_setr_epi32(data[whole0 + 1] - first0, data[whole1 + 1] - first1, 0, 0);
    const __m128i halves =
        _mm_setr_epi32(static_cast<int32_t>(static_cast<uint32_t>(position) >> 1),
                       static_cast<int32_t>(static_cast<uint32_t>(next) >> 1), 0, 0);
    const __m128d weights = _mm_mul_pd(_mm_cvtepi32_pd(halves), _mm_set1_pd(WeightUnit));
    const __m128d values =
        _mm_add_pd(_mm_cvtepi32_pd(firsts), _mm_mul_pd(weights, _mm_cvtepi32_pd(rises)));
    const __m128d gains = _mm_setr_pd(gainLeft, gainRight);
    const __m128 mixed = _mm_loadu_ps(out); // left 0, right 0, left 1, right 1
    const __m128d frame0 =
        _mm_add_pd(_mm_cvtps_pd(mixed), _mm_mul_pd(_mm_unpacklo_pd(values, values), gains));
    const __m128d frame1 = _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(mixed, mixed)),
                                      _mm_mul_pd(_mm_unpackhi_pd(values, values), gains));
    _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(frame0), _mm_cvtpd_ps(frame1)));
    return advance(next, signedStep);
}

uint64_t mixSteadySse2(float* out, const int16_t* data, uint64_t position, uint64_t signedStep,
                       float gainLeft, float gainRight, int32_t frames) {
    const int32_t pairs = frames >> 1;
    for (int32_t i = 0; i < pairs; ++i) {
        position = mixFramePair(out, data, position, signedStep, gainLeft, gainRight);
        out += 4;
    }
    return mixSteadyFrames(out, data, position, signedStep, gainLeft, gainRight, frames & 1);
}

// Eight at a time: min and max clamp as the scalar comparisons do (a NaN
// takes the upper limit in both), and the conversion rounds in the current
// rounding mode as lrint does: to nearest, ties to even.
// With Clear, each eight floats are set to 0 once read.
template <bool Clear>
void clipSse2(int16_t* output, ClippedFloats<Clear> buffer, int32_t sampleCount) {
    const __m128 upper = _mm_set1_ps(32767.0f);
    const __m128 lower = _mm_set1_ps(-32768.0f);
    int32_t i = 0;
    for (; i + 8 <= sampleCount; i += 8) {
        const __m128 first = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(buffer + i), upper), lower);
        const __m128 second = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(buffer + i + 4), upper), lower);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(first), _mm_cvtps_epi32(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i), packed);
        if constexpr (Clear) {
            _mm_storeu_ps(buffer + i, _mm_setzero_ps());
            _mm_storeu_ps(buffer + i + 4, _mm_setzero_ps());
        }
    }
    if constexpr (Clear) {
        scalarKernels()->clipAndClear(output + i, buffer + i, sampleCount - i);
    } else {
        scalarKernels()->clip(output + i, buffer + i, sampleCount - i);
    }
}

constexpr Kernels Sse2{mixSteadySse2, mixRampFrames, clipSse2<false>, clipSse2<true>};

} // namespace

const Kernels* sse2Kernels() {
    return &Sse2;
}

} // namespace korvanthe::mixer

#else

const korvanthe::mixer::Kernels* korvanthe::mixer::sse2Kernels() {
    return nullptr;
}

#endif
