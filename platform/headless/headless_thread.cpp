#include "platform/thread.h"

namespace korvanthe {

bool platformHasThreads() {
    return true;
}

// Virtual time has no deadlines to meet: every thread keeps its priority.
bool makeCurrentThreadTimeCritical() {
    return true;
}

} // namespace korvanthe
