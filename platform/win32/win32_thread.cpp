#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/thread.h"

namespace korvanthe {

bool platformHasThreads() {
    return true;
}

// std::thread on MinGW's posix runtime is a Win32 thread underneath, so the
// calling thread's own handle takes the priority.
bool makeCurrentThreadTimeCritical() {
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != FALSE;
}

} // namespace korvanthe
