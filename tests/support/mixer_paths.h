// Runs a test once per mixer code path (scalar, SSE2, AVX2, AVX-512, wasm
// SIMD). A path that this build or CPU lacks is skipped with a message, so a
// fault in one path fails on every machine that has it. The path is put back to the default after
// each test.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "audio/mixer_path.h"

namespace korvanthe {
// Names the path in test output.
inline void PrintTo(MixerPath path, std::ostream* out) {
    *out << mixerPathName(path);
}
} // namespace korvanthe

namespace korvanthe::testing {

class OnEveryMixerPath : public ::testing::TestWithParam<MixerPath> {
  protected:
    void SetUp() override {
        saved_ = activeMixerPath();
        if (!selectMixerPath(GetParam())) {
            GTEST_SKIP() << "the " << mixerPathName(GetParam())
                         << " mixer path is not available in this build or on this CPU";
        }
    }
    void TearDown() override { selectMixerPath(saved_); }

  private:
    MixerPath saved_ = MixerPath::Scalar;
};

inline std::string mixerPathTestName(const ::testing::TestParamInfo<MixerPath>& info) {
    return mixerPathName(info.param);
}

} // namespace korvanthe::testing

// The paths this kind of build can have: wasm SIMD in the browser edition,
// SSE2, AVX2 and AVX-512 elsewhere (a CPU without them skips them).
#if defined(__EMSCRIPTEN__)
#define KORVANTHE_MIXER_PATHS ::korvanthe::MixerPath::Scalar, ::korvanthe::MixerPath::Simd128
#else
#define KORVANTHE_MIXER_PATHS                                                                      \
    ::korvanthe::MixerPath::Scalar, ::korvanthe::MixerPath::Sse2, ::korvanthe::MixerPath::Avx2,   \
        ::korvanthe::MixerPath::Avx512
#endif

// Instantiates the TEST_P tests of `suite` (derived from OnEveryMixerPath)
// for every path, named after it.
#define KORVANTHE_ON_EVERY_MIXER_PATH(suite)                                                       \
    INSTANTIATE_TEST_SUITE_P(Paths, suite, ::testing::Values(KORVANTHE_MIXER_PATHS),               \
                             ::korvanthe::testing::mixerPathTestName)
