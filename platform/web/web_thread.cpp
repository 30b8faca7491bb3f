#include "platform/thread.h"

namespace korvanthe {

// The page is built without threads (no SharedArrayBuffer, so any static
// server will do): the streaming code runs on the page's timers.
bool platformHasThreads() {
    return false;
}

// The page runs on one thread whose priority is the browser's to decide.
bool makeCurrentThreadTimeCritical() {
    return false;
}

} // namespace korvanthe
