// What the replayer and mixer rely on in a loaded song, checked in one place
// for the corpus test and the fuzzer.
#pragma once

#include "module/module.h"

namespace korvanthe::testing {

// The first broken guarantee of a successfully loaded module, or null when
// it keeps them all.
const char* findUnplayable(const Module& module);

} // namespace korvanthe::testing
