// Thread priority of the platform. Threads themselves are std::thread; a
// thread that must not be starved (the audio streaming thread) raises its own
// priority as its first act.
#pragma once

namespace korvanthe {

// Raises the calling thread to the platform's time-critical priority.
// Returns false when the platform refuses (the thread then keeps running at
// its normal priority). Any thread.
bool makeCurrentThreadTimeCritical();

} // namespace korvanthe
