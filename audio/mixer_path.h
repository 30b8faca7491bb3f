// The mixer's code paths. Each gives the same floats and the same PCM; they
// differ only in speed. The fastest one that this build and CPU can run is
// taken unless selectMixerPath picks another (the tests run each in turn;
// the benchmarks compare them).
#pragma once

#include <cstdint>

namespace korvanthe {

enum class MixerPath : int32_t { Scalar, Sse2, Avx2, Simd128, Avx512 };

// "scalar", "sse2", "avx2", "simd128" (wasm SIMD) or "avx512".
const char* mixerPathName(MixerPath path);

// Whether this build and CPU can run `path`. Scalar always can.
bool mixerPathAvailable(MixerPath path);

// The path mixVoices and clipToPcm16 take now.
MixerPath activeMixerPath();

// Makes mixVoices and clipToPcm16 take `path`. Returns false, changing
// nothing, when the path is not available. Call it between renders, not
// while a song plays.
bool selectMixerPath(MixerPath path);

} // namespace korvanthe
