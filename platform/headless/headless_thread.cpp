#include "platform/thread.h"

namespace korvanthe {

// Virtual time has no deadlines to meet: every thread keeps its priority.
bool makeCurrentThreadTimeCritical() {
    return true;
}

} // namespace korvanthe
