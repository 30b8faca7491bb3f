#include "platform/thread.h"

namespace korvanthe {

// The page runs on one thread whose priority is the browser's to decide.
bool makeCurrentThreadTimeCritical() {
    return false;
}

} // namespace korvanthe
