// Threads of the platform. Threads themselves are std::thread; a thread
// that must not be starved (the audio streaming thread) raises its own
// priority as its first act. The browser's page has only its one thread.
#pragma once

namespace korvanthe {

// Whether the program may start threads of its own beside the first: true
// on every backend but web, where the page has one thread and the streaming
// code is driven by the page's timers and the sound output instead. Any
// thread.
bool platformHasThreads();

// Raises the calling thread to the platform's time-critical priority.
// Returns false when the platform refuses (the thread then keeps running at
// its normal priority). Any thread.
bool makeCurrentThreadTimeCritical();

} // namespace korvanthe
