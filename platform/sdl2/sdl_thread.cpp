#include <SDL.h>

#include "platform/thread.h"

namespace korvanthe {

bool platformHasThreads() {
    return true;
}

// Without the rights for real-time scheduling SDL refuses; the thread then
// runs at normal priority, which the two-second ring comfortably covers.
bool makeCurrentThreadTimeCritical() {
    return SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL) == 0;
}

} // namespace korvanthe
