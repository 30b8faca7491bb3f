#include "audio/mixer.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define KORVANTHE_MIXER_SSE2 1
#endif
// AVX2 is chosen at run time where the CPU has it, with GCC and Clang. On
// Windows, where GCC cannot align the stack for spilled 32-byte registers,
// audio/CMakeLists.txt has this file assembled with unaligned vector moves
// (KORVANTHE_UNALIGNED_VECTOR_MOVES); without that the AVX2 code stays out.
#if KORVANTHE_MIXER_SSE2 && (defined(__GNUC__) || defined(__clang__)) &&                           \
    (!defined(_WIN32) || defined(KORVANTHE_UNALIGNED_VECTOR_MOVES))
#include <immintrin.h>
#define KORVANTHE_MIXER_AVX2 1
#endif

namespace korvanthe {

Voice voices[VoiceCount];
MixerSettings mixerSettings{};

namespace {

// 1/255 as a single-precision value (0.003921568859368563): the gain of one
// volume step. Products with it run in double, the gains are stored as float.
constexpr double GainPerVolume = static_cast<double>(1.0f / 255.0f);
constexpr double WeightUnit = 1.0 / 2147483648.0;         // 2^-31: one step of the 31-bit weight
constexpr uint64_t BoundaryUnitLimit = uint64_t{1} << 56; // 2^24 frames in 32.32

// Positions and steps as one 64-bit 32.32 value. Sums and differences wrap
// as unsigned values; comparisons take them as signed.
uint64_t packPosition(const Voice& voice) {
    return (uint64_t{static_cast<uint32_t>(voice.positionInt)} << 32) | voice.positionFrac;
}

void storePosition(Voice& voice, uint64_t position) {
    voice.positionInt = static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
    voice.positionFrac = static_cast<uint32_t>(position);
}

int64_t asSigned(uint64_t value) {
    return static_cast<int64_t>(value);
}

// Rounds a double to single precision. Through a volatile, because GCC 12's
// straight-line vectoriser at -O2 was seen to drop the float round trip of
// a gain (using the double product in the next multiplication), which moved
// mixed values by one float step; tests/audio/mixer_test.cpp pins the exact
// values. Used once per pass and once per ramp frame, never in the steady loop.
inline float toSingle(double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// One output frame: linear interpolation between the frame at the position
// and the next one, weighted by the top 31 bits of the fraction, added to
// both sides in double and stored back as float.
inline void mixFrame(float* out, const int16_t* data, uint64_t position, float gainLeft,
                     float gainRight) {
    const int32_t whole = static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
    const double weight = static_cast<double>(static_cast<uint32_t>(position) >> 1) * WeightUnit;
    const int32_t first = data[whole];
    const int32_t rise = data[whole + 1] - first; // exact, as the double difference would be
    const double value = first + weight * rise;
    out[0] = static_cast<float>(out[0] + value * gainLeft);
    out[1] = static_cast<float>(out[1] + value * gainRight);
}

// The position after one frame: the fraction's lowest bit cleared, then the
// signed step added.
inline uint64_t advance(uint64_t position, uint64_t signedStep) {
    return (position & ~uint64_t{1}) + signedStep;
}

// Two steady frames at once: the frame at position and the one a step on.
// The SSE2 form does the same double operations in the same order two at a
// time (packed and scalar IEEE operations round alike), so it gives the same
// floats as two calls of mixFrame; only the speed differs.
inline uint64_t mixFramePair(float* out, const int16_t* data, uint64_t position,
                             uint64_t signedStep, float gainLeft, float gainRight) {
#if KORVANTHE_MIXER_SSE2
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
#else
    mixFrame(out, data, position, gainLeft, gainRight);
    position = advance(position, signedStep);
    mixFrame(out + 2, data, position, gainLeft, gainRight);
    return advance(position, signedStep);
#endif
}

// The position after k >= 1 frames, in closed form: with an odd step every
// frame but the first clears a set lowest bit.
uint64_t positionAfter(uint64_t position, uint64_t signedStep, uint64_t k) {
    const uint64_t clears = (signedStep & 1) != 0 ? k - 1 : 0;
    return (position & ~uint64_t{1}) + k * signedStep - clears;
}

#if KORVANTHE_MIXER_AVX2
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

// The CPU's AVX2, asked once.
const bool cpuHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

// Four frames in AVX2: lane k of each vector is frame k of the quad, and
// every lane does the double operations of mixFrame in its order (packed
// IEEE operations round as scalar ones do, and without the fma target
// nothing is fused), so the floats are those of four mixFrame calls. The two
// 16-bit frames each output frame reads come as one 32-bit load (the frame
// after the position is always readable: the guard frame); a gather
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

// Sixteen samples at a time, as clipToPcm16's SSE2 loop does eight: the same
// clamps and rounding, and the packing (which works within 128-bit halves)
// put back in order. Returns the number of samples done.
__attribute__((target("avx2"))) int32_t clipQuads(int16_t* output, const float* buffer,
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
    }
    return i;
}
#endif

// Frames in this pass and whether its end reaches the boundary.
struct PassLength {
    int32_t frames;
    bool reachesBoundary;
};

PassLength findBoundary(const Voice& voice, uint64_t position, uint64_t step, uint64_t signedStep,
                        int32_t framesLeft) {
    const Sample& sample = *voice.sample;
    const uint64_t loopStart = uint64_t{sample.loopStart} << 32;
    const uint64_t loopEnd = (uint64_t{sample.loopStart} + sample.loopLength) << 32;
    const bool forward = voice.direction == 1;
    const uint64_t distance = forward ? loopEnd - position : position - loopStart;

    if (asSigned(distance) < 0) {
        // Sanity check: a position already beyond the boundary would never
        // meet it and would read outside the sample; handle the boundary now.
        return {0, true};
    }
    if (distance >= BoundaryUnitLimit) {
        return {framesLeft, false};
    }
    // The count in 2^-24 frame units. The step is a 64-bit value here, so a
    // step of 256 frames or more still counts right (sanity check).
    const uint64_t distanceUnits = distance >> 8;
    const uint64_t stepUnits = (step >> 32 << 24) | (static_cast<uint32_t>(step) >> 8);
    if (stepUnits == 0) {
        return {framesLeft, false}; // a stopped voice never arrives anywhere
    }
    const uint64_t frames = (distanceUnits + stepUnits - 1) / stepUnits;
    if (frames > static_cast<uint64_t>(framesLeft)) {
        return {framesLeft, false};
    }
    PassLength pass{static_cast<int32_t>(frames), true};
    // Sanity check: moving backward, the last frame of a pass may lie a few
    // 2^-32 below loopStart; where that would be below frame 0 the pass ends
    // one frame early and the boundary is handled at that frame instead.
    if (!forward && pass.frames >= 2 &&
        asSigned(positionAfter(position, signedStep, static_cast<uint64_t>(pass.frames - 1))) < 0) {
        pass.frames -= 1;
        pass.reachesBoundary = false;
    }
    return pass;
}

// Handles the boundary the pass reached. Returns false when the voice ended.
bool handleBoundary(Voice& voice, uint64_t& position) {
    const Sample& sample = *voice.sample;
    const uint64_t loopLength = uint64_t{sample.loopLength} << 32;
    const uint64_t loopStart = uint64_t{sample.loopStart} << 32;
    const uint64_t loopEnd = loopStart + loopLength;

    // Sanity check: a looped sample without loop frames ends like an unlooped one.
    if (sample.loopType == LoopForward && loopLength != 0) {
        // loopLength off the whole part at least once, and again until it is
        // below the loop end: done as one division.
        const uint64_t times =
            asSigned(position) >= asSigned(loopEnd) ? (position - loopEnd) / loopLength + 1 : 1;
        position -= times * loopLength;
        voice.direction = 1; // sanity check: a forward loop never runs backward
    } else if (sample.loopType == LoopPingPong && loopLength != 0) {
        // Two turns in a row move the position by exactly two loop lengths and
        // keep the direction, so whole round trips of an overshoot come off
        // first; the turns below then happen at most twice.
        const uint64_t roundTrip = 2 * loopLength;
        if (voice.direction == 1 && asSigned(position) >= asSigned(loopEnd)) {
            position -= (position - loopEnd) / roundTrip * roundTrip;
        } else if (voice.direction != 1 && asSigned(position) < asSigned(loopStart)) {
            position += (loopStart - position - 1) / roundTrip * roundTrip;
        }
        // Mirror at each end, 2^-32 inside, as often as the step overshoots.
        for (;;) {
            if (voice.direction == 1) {
                position = 2 * loopEnd - position - 1;
                voice.direction = 2;
                if (asSigned(position) >= asSigned(loopStart)) {
                    break;
                }
            } else {
                position = 2 * loopStart - position - 1;
                voice.direction = 1;
                if (asSigned(position) < asSigned(loopEnd)) {
                    break;
                }
            }
        }
    } else {
        voice.sample = nullptr;
        storePosition(voice, 0);
        return false;
    }
    // Sanity check: a loop starting at frame 0 can leave the position 2^-32
    // below it (a backward turn landing exactly on the start, or a forward
    // pass ending a few 2^-32 short of the end); frame -1 would be read.
    if (asSigned(position) < 0) {
        position = 0;
    }
    storePosition(voice, position);
    return true;
}

// Sets up the ramp of a new pass (continuing a running one or starting a new
// one). Returns its length in frames; 0: no ramp.
int32_t setUpRamp(Voice& voice) {
    if (voice.rampFramesLeft != 0 && voice.volumeLeft == voice.rampTargetLeft &&
        voice.volumeRight == voice.rampTargetRight) {
        return voice.rampFramesLeft;
    }
    int32_t length = 0;
    voice.rampTargetLeft = voice.volumeLeft;
    voice.rampTargetRight = voice.volumeRight;
    const double inverse = mixerSettings.rampFramesInverse;
    const int32_t reachedLeft = voice.levelLeft >> 8;
    const int32_t reachedRight = voice.levelRight >> 8;
    if (voice.volumeLeft != reachedLeft) {
        voice.rampStepLeft = toSingle((voice.volumeLeft - reachedLeft) * GainPerVolume * inverse);
        length = mixerSettings.rampFrames;
    } else {
        voice.rampStepLeft = 0.0f;
    }
    if (voice.volumeRight != reachedRight) {
        voice.rampStepRight =
            toSingle((voice.volumeRight - reachedRight) * GainPerVolume * inverse);
        length = mixerSettings.rampFrames;
    } else {
        voice.rampStepRight = 0.0f;
    }
    if (length > 0) {
        voice.rampFramesLeft = length;
    }
    return length;
}

// The gain a level (volume x 256) stands for.
float levelGain(int32_t level) {
    return toSingle(level * (1.0 / 256.0) * GainPerVolume);
}

void mixVoice(Voice& voice, float* out, int32_t frameCount) {
    const int16_t* data = voice.sample->data;
    if (data == nullptr) {
        // Sanity check: no frames to read (an empty sample) ends the voice at once.
        voice.sample = nullptr;
        storePosition(voice, 0);
        return;
    }
    const uint64_t step = (uint64_t{static_cast<uint32_t>(voice.stepInt)} << 32) | voice.stepFrac;
    uint64_t position = packPosition(voice);
    int32_t framesLeft = frameCount;

    for (;;) {
        // The direction may change at every boundary.
        const uint64_t signedStep = voice.direction == 1 ? step : uint64_t{0} - step;
        PassLength pass = findBoundary(voice, position, step, signedStep, framesLeft);

        const int32_t rampLength = setUpRamp(voice);
        bool cutByRamp = false;
        if (rampLength > 0 && rampLength < pass.frames) {
            pass.frames = rampLength;
            cutByRamp = true;
        }

        if (rampLength > 0) {
            float gainLeft = levelGain(voice.levelLeft);
            float gainRight = levelGain(voice.levelRight);
            const float stepLeft = voice.rampStepLeft;
            const float stepRight = voice.rampStepRight;
            int32_t i = 0;
#if KORVANTHE_MIXER_AVX2
            if (cpuHasAvx2) {
                const int32_t quads = pass.frames >> 2;
                position = mixRampQuads(out, data, position, signedStep, gainLeft, gainRight,
                                        stepLeft, stepRight, quads);
                out += static_cast<std::ptrdiff_t>(quads) * 8;
                i = quads * 4;
            }
#endif
            for (; i < pass.frames; ++i) {
                mixFrame(out, data, position, gainLeft, gainRight);
                // A float sum: the same as rounding the double sum to float,
                // since double holds more than twice float's precision (two
                // roundings of a sum then agree with one).
                gainLeft += stepLeft;
                gainRight += stepRight;
                position = advance(position, signedStep);
                out += 2;
            }
            voice.levelLeft = static_cast<int32_t>(std::nearbyint(gainLeft * 255.0 * 256.0));
            voice.levelRight = static_cast<int32_t>(std::nearbyint(gainRight * 255.0 * 256.0));
            voice.rampFramesLeft -= pass.frames;
            if (voice.rampFramesLeft == 0) {
                voice.rampStepLeft = 0.0f;
                voice.rampStepRight = 0.0f;
                voice.levelLeft = voice.volumeLeft << 8;
                voice.levelRight = voice.volumeRight << 8;
            }
        } else {
            const float gainLeft = toSingle(voice.volumeLeft * GainPerVolume);
            const float gainRight = toSingle(voice.volumeRight * GainPerVolume);
            // Steady: four or two frames at a time with constant gains, no
            // tests per frame.
            int32_t pairs = pass.frames >> 1;
            if (gainLeft == 0.0f && gainRight == 0.0f && pairs > 0) {
                // A silent voice adds a zero to every value, which changes no
                // value (at most the sign of a zero, which the clipper drops):
                // only its position moves on.
                position = positionAfter(position, signedStep, static_cast<uint64_t>(pairs) * 2);
                out += static_cast<std::ptrdiff_t>(pairs) * 4;
                pairs = 0;
            }
#if KORVANTHE_MIXER_AVX2
            if (cpuHasAvx2) {
                const int32_t quads = pairs >> 1;
                position =
                    mixSteadyQuads(out, data, position, signedStep, gainLeft, gainRight, quads);
                out += static_cast<std::ptrdiff_t>(quads) * 8;
                pairs -= quads * 2;
            }
#endif
            for (int32_t i = 0; i < pairs; ++i) {
                position = mixFramePair(out, data, position, signedStep, gainLeft, gainRight);
                out += 4;
            }
            if ((pass.frames & 1) != 0) {
                // The odd last frame takes the ramp path with gains from the
                // levels, which outside a ramp equal the volumes.
                mixFrame(out, data, position, levelGain(voice.levelLeft),
                         levelGain(voice.levelRight));
                position = advance(position, signedStep);
                out += 2;
            }
        }
        framesLeft -= pass.frames;

        // A pass cut by its ramp (or ended early by the check in
        // findBoundary) goes on with a new pass at the next frame; a pass that
        // reached the boundary goes on from where the loop put the position.
        if (pass.reachesBoundary && !cutByRamp) {
            if (!handleBoundary(voice, position)) {
                return;
            }
        } else {
            storePosition(voice, position);
        }
        if (framesLeft == 0) {
            return;
        }
    }
}

} // namespace

void resetVoices(int32_t sampleRate) {
    for (Voice& voice : voices) {
        voice = Voice{};
        voice.stepInt = 1;
    }
    // Sanity check: at least one frame, so that a very low rate still ramps.
    const int32_t frames =
        sampleRate > 0 ? static_cast<int32_t>(int64_t{sampleRate} * 128 / 44100) : 0;
    mixerSettings.rampFrames = frames > 0 ? frames : 1;
    mixerSettings.rampFramesInverse = 1.0f / static_cast<float>(mixerSettings.rampFrames);
}

void mixVoices(float* buffer, int32_t frameCount) {
    if (frameCount < 1 || buffer == nullptr) {
        return;
    }
    for (int32_t i = 0; i < MixedVoices; ++i) {
        if (voices[i].sample != nullptr) {
            mixVoice(voices[i], buffer, frameCount);
        }
    }
}

void clipToPcm16(int16_t* output, const float* buffer, int32_t frameCount) {
    if (frameCount < 1 || output == nullptr || buffer == nullptr) {
        return;
    }
    const int32_t sampleCount = frameCount * 2;
    int32_t i = 0;
#if KORVANTHE_MIXER_AVX2
    if (cpuHasAvx2) {
        i = clipQuads(output, buffer, sampleCount);
    }
#endif
#if KORVANTHE_MIXER_SSE2
    // Eight at a time: min and max clamp as the comparisons below do (a NaN
    // takes the upper limit in both), and the conversion rounds in the
    // current rounding mode as lrint does: to nearest, ties to even.
    const __m128 upper = _mm_set1_ps(32767.0f);
    const __m128 lower = _mm_set1_ps(-32768.0f);
    for (; i + 8 <= sampleCount; i += 8) {
        const __m128 first = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(buffer + i), upper), lower);
        const __m128 second = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(buffer + i + 4), upper), lower);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(first), _mm_cvtps_epi32(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i), packed);
    }
#endif
    for (; i < sampleCount; ++i) {
        float value = buffer[i];
        // Clamping first to the integer limits gives the same result as
        // rounding first; a NaN ends up at the upper limit.
        value = value <= 32767.0f ? value : 32767.0f;
        value = value >= -32768.0f ? value : -32768.0f;
        output[i] = static_cast<int16_t>(std::lrint(value)); // ties to even
    }
}

} // namespace korvanthe
