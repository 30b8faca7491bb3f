// The test process's own number, for temporary folders that tests of several
// builds running at once must not share.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace korvanthe::testing {

inline int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

} // namespace korvanthe::testing
