// libFuzzer entry point for the xm target (tests/fuzz/fuzz_targets.h).
#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvanthe::fuzzing::fuzzXmLoader(data, size);
    return 0;
}
