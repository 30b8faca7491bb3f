// The AVX-512 path, chosen at run time where the CPU has AVX-512 F, BW, DQ
// and VL (of which it uses F, and the 256-bit forms of AVX2 that come with
// it). It must give the same floats as the scalar path
// (audio/mixer_scalar.cpp): every lane does the double operations of
// mixFrame in its order (packed IEEE operations round as scalar ones do, and
// the build's -ffp-contract=off keeps the separate multiplications and
// additions from being fused), and the ramp gains are summed frame by frame
// as the scalar loop sums them.
//
// Eight frames at a time, twice the AVX2 path's four. With GCC and Clang
// only, and not on Windows, where GCC cannot align the stack for spilled
// 64-byte registers.
#include "audio/mixer_kernels.h"

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__)) &&       \
    !defined(_WIN32)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics fill the lanes an operation leaves open from a
// deliberately undefined value, which its own flow analysis then reports as
// maybe uninitialised at every inlined use.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "audio/mixer_frame.h"

#define KORVANTHE_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl")))

namespace korvanthe::mixer {

namespace {

// Positions of the eight frames of an octet, as in the AVX2 path's quads:
// frame k is at start + k x stride, with start = the first position with its
// lowest bit cleared, plus 1 for an odd step, and stride = the step less that
// 1. From the second frame on that is the very position advance gives; for
// the first it differs at most in the lowest bit, which neither the frame
// index nor the 31-bit weight reads.
//
// The frames sit in the lanes in the order 0, 4, 1, 5, 2, 6, 3, 7, so that
// duplicating within the 128-bit quarters (no lane crossing) yields the
// values of frames 0 to 3, then 4 to 7, each twice for left and right.
struct OctetPositions {
    uint64_t next;       // position of the octet's first frame (as above)
    uint64_t stride;     // per frame
    __m256i fractions;   // the low words of the octet's positions, in the lane order above
    __m256i octetStride; // the low word of 8 x stride, in every lane
};

KORVANTHE_AVX512 inline OctetPositions startOctets(uint64_t position, uint64_t signedStep) {
    const uint64_t odd = signedStep & 1;
    OctetPositions octet{};
    octet.stride = signedStep - odd;
    octet.next = (position & ~uint64_t{1}) + odd;
    // The low words add up modulo 2^32 as the low words of the 64-bit sums.
    const auto low = [&](uint64_t k) {
        return static_cast<int32_t>(static_cast<uint32_t>(octet.next + k * octet.stride));
    };
    octet.fractions =
        _mm256_setr_epi32(low(0), low(4), low(1), low(5), low(2), low(6), low(3), low(7));
    octet.octetStride =
        _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(8 * octet.stride)));
    return octet;
}

// The frame at the position and the one after it as one 32-bit word, the
// first in the low half, in every lane: a broadcasting load, as on the AVX2
// path (the frame after the position is always readable: the guard frame).
// Broadcasts and blends were measured faster here than a gather (three
// times), and than one load of the frames around an octet picked apart by a
// permutation (the load must be masked so as not to pass the guard frame).
KORVANTHE_AVX512 inline __m256i framePair(const int16_t* data, uint64_t position) {
    const int16_t* pair = data + static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
#if defined(__clang__)
    float bits; // Clang's broadcast reads through a float pointer; it folds this itself
    std::memcpy(&bits, pair, sizeof bits);
    return _mm256_castps_si256(_mm256_set1_ps(bits));
#else
    return _mm256_castps_si256(_mm256_broadcast_ss(reinterpret_cast<const float*>(pair)));
#endif
}

// The interpolated values of the next eight frames, in the lane order above;
// moves the octet on.
KORVANTHE_AVX512 inline __m512d octetValues(const int16_t* data, OctetPositions& octet) {
    const uint64_t first = octet.next;
    const uint64_t stride = octet.stride;
    // Lanes 0 to 7 take frames 0, 4, 1, 5, 2, 6, 3, 7.
    const __m256i lanes01 =
        _mm256_blend_epi32(framePair(data, first), framePair(data, first + 4 * stride), 0x02);
    const __m256i lanes23 = _mm256_blend_epi32(framePair(data, first + stride),
                                               framePair(data, first + 5 * stride), 0x08);
    const __m256i lanes45 = _mm256_blend_epi32(framePair(data, first + 2 * stride),
                                               framePair(data, first + 6 * stride), 0x20);
    const __m256i lanes67 = _mm256_blend_epi32(framePair(data, first + 3 * stride),
                                               framePair(data, first + 7 * stride), 0x80);
    const __m256i pairs = _mm256_blend_epi32(_mm256_blend_epi32(lanes01, lanes23, 0x0C),
                                             _mm256_blend_epi32(lanes45, lanes67, 0xC0), 0xF0);
    // The fractions halved: the weights in 2^-31.
    const __m256i halves = _mm256_srli_epi32(octet.fractions, 1);
    octet.next = first + 8 * stride;
    octet.fractions = _mm256_add_epi32(octet.fractions, octet.octetStride);
    const __m256i firsts = _mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16);
    const __m256i rises = _mm256_sub_epi32(_mm256_srai_epi32(pairs, 16), firsts);
    const __m512d weights = _mm512_mul_pd(_mm512_cvtepi32_pd(halves), _mm512_set1_pd(WeightUnit));
    return _mm512_add_pd(_mm512_cvtepi32_pd(firsts),
                         _mm512_mul_pd(weights, _mm512_cvtepi32_pd(rises)));
}

// Adds the eight values (lane order above) times the gains (left, right, ...
// of frames 0 to 3, then of frames 4 to 7) into eight frames of the mix
// buffer, half an octet at a time.
KORVANTHE_AVX512 inline void addOctet(float* out, __m512d values, __m512d frontGains,
                                      __m512d backGains) {
    const __m512d front =
        _mm512_add_pd(_mm512_cvtps_pd(_mm256_loadu_ps(out)),
                      _mm512_mul_pd(_mm512_unpacklo_pd(values, values), frontGains));
    const __m512d back =
        _mm512_add_pd(_mm512_cvtps_pd(_mm256_loadu_ps(out + 8)),
                      _mm512_mul_pd(_mm512_unpackhi_pd(values, values), backGains));
    _mm256_storeu_ps(out, _mm512_cvtpd_ps(front));
    _mm256_storeu_ps(out + 8, _mm512_cvtpd_ps(back));
}

// Steady frames, eight at a time. Returns the position after octets x 8 frames.
KORVANTHE_AVX512 uint64_t mixSteadyOctets(float* out, const int16_t* data, uint64_t position,
                                          uint64_t signedStep, float gainLeft, float gainRight,
                                          int32_t octets) {
    if (octets <= 0) {
        return position;
    }
    OctetPositions octet = startOctets(position, signedStep);
    const __m512d gains = _mm512_setr_pd(gainLeft, gainRight, gainLeft, gainRight, gainLeft,
                                         gainRight, gainLeft, gainRight);
    for (int32_t o = 0; o < octets; ++o) {
        addOctet(out, octetValues(data, octet), gains, gains);
        out += 16;
    }
    return octet.next;
}

// Ramp frames, eight at a time. Each frame's gains are those of the frame
// before plus the steps, summed in single precision as the scalar path sums
// them (the first frame takes the starting gains); gainLeft and gainRight
// come back as the gains after the last frame. Returns the position after
// octets x 8 frames.
//
// Summed one after another those gains are a chain of dependent additions,
// which made a ramp frame cost three times a steady one: the chain, not the
// mixing, set the pace. But while the gains stay within one binade every sum
// moves them by the same amount, so a whole octet can be guessed at once
// from an anchor frame a, as gain(a) + (j - a) x rise with rise = (gain(a) +
// step) - gain(a). A guess is taken only if, to the bit, its first frame's
// gains are the gains known for that frame and each later frame's are the
// guess for the frame before plus the steps: by induction it then is the
// serial sum. An octet whose guess fails (a binade crossed, a sum that rounds
// to even) is summed one frame after another and becomes the next anchor.
struct RampOctets {
    __m512 steps;    // left, right, left, ...: the steps, in every frame's pair of lanes
    __m512 anchor;   // the anchor frame's gains, likewise
    __m512 rise;     // what a sum moved them by at the anchor
    __m512 distance; // from the anchor to the octet's frames (0, 0, 1, 1, ...), in frames
};

KORVANTHE_AVX512 inline __m512 pairInEveryFrame(__m128 pair) {
    return _mm512_castpd_ps(_mm512_broadcastsd_pd(_mm_castps_pd(pair)));
}

KORVANTHE_AVX512 inline void anchorAt(RampOctets& ramp, __m128 gains, __m128 steps) {
    ramp.anchor = pairInEveryFrame(gains);
    ramp.rise = pairInEveryFrame(_mm_sub_ps(_mm_add_ps(gains, steps), gains));
    ramp.distance = _mm512_setr_ps(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
}

KORVANTHE_AVX512 uint64_t mixRampOctets(float* out, const int16_t* data, uint64_t position,
                                        uint64_t signedStep, float& gainLeft, float& gainRight,
                                        float stepLeft, float stepRight, int32_t octets) {
    if (octets <= 0) {
        return position;
    }
    OctetPositions octet = startOctets(position, signedStep);
    const __m128 steps = _mm_setr_ps(stepLeft, stepRight, 0.0f, 0.0f);
    __m128 gains = _mm_setr_ps(gainLeft, gainRight, 0.0f, 0.0f); // of the octet's first frame
    RampOctets ramp{};
    ramp.steps = pairInEveryFrame(steps);
    anchorAt(ramp, gains, steps);
    const __m512 octetFrames = _mm512_set1_ps(8.0f);
    for (int32_t o = 0; o < octets; ++o) {
        __m512 frames =
            _mm512_add_ps(ramp.anchor, _mm512_mul_ps(ramp.distance, ramp.rise)); // the guess
        // Lanes 2 to 15 against the guess one frame earlier plus the steps,
        // lanes 0 and 1 against the gains known for the first frame.
        const __m512 sums =
            _mm512_add_ps(_mm512_castsi512_ps(_mm512_alignr_epi32(_mm512_castps_si512(frames),
                                                                  _mm512_castps_si512(frames), 14)),
                          ramp.steps);
        const __m512 expected = _mm512_mask_mov_ps(sums, 0x0003, _mm512_castps128_ps512(gains));
        const bool guessed = _mm512_cmpeq_epi32_mask(_mm512_castps_si512(frames),
                                                     _mm512_castps_si512(expected)) == 0xFFFF;
        if (guessed) {
            ramp.distance = _mm512_add_ps(ramp.distance, octetFrames);
            const __m128 back = _mm512_extractf32x4_ps(frames, 3);
            gains = _mm_add_ps(_mm_movehl_ps(back, back), steps); // after the last frame
        } else {
            alignas(64) float summed[16];
            for (int k = 0; k < 8; ++k) {
                _mm_storel_pi(reinterpret_cast<__m64*>(summed + 2 * k), gains);
                gains = _mm_add_ps(gains, steps);
            }
            frames = _mm512_load_ps(summed);
            anchorAt(ramp, gains, steps);
        }
        addOctet(out, octetValues(data, octet), _mm512_cvtps_pd(_mm512_castps512_ps256(frames)),
                 _mm512_cvtps_pd(_mm512_extractf32x8_ps(frames, 1)));
        out += 16;
    }
    gainLeft = _mm_cvtss_f32(gains);
    gainRight = _mm_cvtss_f32(_mm_shuffle_ps(gains, gains, 1));
    return octet.next;
}

// Sixteen samples at a time, the last few under a mask: the clamps and the
// rounding of the other paths (min and max give a NaN the upper limit, the
// conversion rounds to nearest, ties to even), then a plain narrowing, the
// values being in range. With Clear the floats are set to 0 once read.
// (Narrowing straight into memory, as the tail does, was measured slower
// than narrowing into a register and storing that.)
template <bool Clear>
KORVANTHE_AVX512 void clipAvx512(int16_t* output, ClippedFloats<Clear> buffer,
                                 int32_t sampleCount) {
    const __m512 upper = _mm512_set1_ps(32767.0f);
    const __m512 lower = _mm512_set1_ps(-32768.0f);
    int32_t i = 0;
    for (; i + 16 <= sampleCount; i += 16) {
        const __m512 clamped =
            _mm512_max_ps(_mm512_min_ps(_mm512_loadu_ps(buffer + i), upper), lower);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + i),
                            _mm512_cvtepi32_epi16(_mm512_cvtps_epi32(clamped)));
        if constexpr (Clear) {
            _mm512_storeu_ps(buffer + i, _mm512_setzero_ps());
        }
    }
    if (i < sampleCount) {
        const auto lanes = static_cast<__mmask16>((1u << (sampleCount - i)) - 1);
        const __m512 clamped =
            _mm512_max_ps(_mm512_min_ps(_mm512_maskz_loadu_ps(lanes, buffer + i), upper), lower);
        _mm512_mask_cvtepi32_storeu_epi16(output + i, lanes, _mm512_cvtps_epi32(clamped));
        if constexpr (Clear) {
            _mm512_mask_storeu_ps(buffer + i, lanes, _mm512_setzero_ps());
        }
    }
}

KORVANTHE_AVX512 uint64_t mixSteadyAvx512(float* out, const int16_t* data, uint64_t position,
                                          uint64_t signedStep, float gainLeft, float gainRight,
                                          int32_t frames) {
    const int32_t octets = frames >> 3;
    position = mixSteadyOctets(out, data, position, signedStep, gainLeft, gainRight, octets);
    return mixSteadyFrames(out + static_cast<std::ptrdiff_t>(octets) * 16, data, position,
                           signedStep, gainLeft, gainRight, frames & 7);
}

KORVANTHE_AVX512 uint64_t mixRampAvx512(float* out, const int16_t* data, uint64_t position,
                                        uint64_t signedStep, float& gainLeft, float& gainRight,
                                        float stepLeft, float stepRight, int32_t frames) {
    const int32_t octets = frames >> 3;
    position = mixRampOctets(out, data, position, signedStep, gainLeft, gainRight, stepLeft,
                             stepRight, octets);
    return mixRampFrames(out + static_cast<std::ptrdiff_t>(octets) * 16, data, position, signedStep,
                         gainLeft, gainRight, stepLeft, stepRight, frames & 7);
}

constexpr Kernels Avx512{mixSteadyAvx512, mixRampAvx512, clipAvx512<false>, clipAvx512<true>};

} // namespace

const Kernels* avx512Kernels() {
    static const bool cpuHasAvx512 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
               __builtin_cpu_supports("avx512dq") != 0 && __builtin_cpu_supports("avx512vl") != 0;
    }();
    return cpuHasAvx512 ? &Avx512 : nullptr;
}

} // namespace korvanthe::mixer

#else

const korvanthe::mixer::Kernels* korvanthe::mixer::avx512Kernels() {
    return nullptr;
}

#endif
