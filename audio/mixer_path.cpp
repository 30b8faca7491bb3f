#include "audio/mixer_path.h"

#include <atomic>
#include <initializer_list>

#include "audio/mixer_kernels.h"

namespace korvanthe {

namespace {

const mixer::Kernels* kernelsOf(MixerPath path) {
    switch (path) {
    case MixerPath::Scalar:
        return mixer::scalarKernels();
    case MixerPath::Sse2:
        return mixer::sse2Kernels();
    case MixerPath::Avx2:
        return mixer::avx2Kernels();
    case MixerPath::Simd128:
        return mixer::simd128Kernels();
    case MixerPath::Avx512:
        return mixer::avx512Kernels();
    }
    return nullptr;
}

MixerPath fastestPath() {
    for (MixerPath path : {MixerPath::Avx512, MixerPath::Avx2, MixerPath::Sse2, MixerPath::Simd128}) {
        if (kernelsOf(path) != nullptr) {
            return path;
        }
    }
    return MixerPath::Scalar;
}

// Atomic only so that a test selecting a path never races a render thread
// left over from an earlier test; loaded once per pass.
std::atomic<MixerPath>& activePath() {
    static std::atomic<MixerPath> path{fastestPath()};
    return path;
}

} // namespace

const char* mixerPathName(MixerPath path) {
    switch (path) {
    case MixerPath::Scalar:
        return "scalar";
    case MixerPath::Sse2:
        return "sse2";
    case MixerPath::Avx2:
        return "avx2";
    case MixerPath::Simd128:
        return "simd128";
    case MixerPath::Avx512:
        return "avx512";
    }
    return "unknown";
}

bool mixerPathAvailable(MixerPath path) {
    return kernelsOf(path) != nullptr;
}

MixerPath activeMixerPath() {
    return activePath().load(std::memory_order_relaxed);
}

bool selectMixerPath(MixerPath path) {
    if (!mixerPathAvailable(path)) {
        return false;
    }
    activePath().store(path, std::memory_order_relaxed);
    return true;
}

const mixer::Kernels& mixer::activeKernels() {
    return *kernelsOf(activeMixerPath());
}

} // namespace korvanthe
