// The headless backend's clock is virtual: time moves only when the caller
// says so, which makes every test and every capture deterministic.
#pragma once

#include <cstdint>

namespace korvanthe {

// Sets the time that platformMilliseconds reports. Any thread.
void setVirtualMilliseconds(uint32_t milliseconds);

// Moves the virtual time forward. Any thread.
void advanceVirtualMilliseconds(uint32_t milliseconds);

// For tests of code that sleeps: while set, platformSleep(n) with n above 0
// moves the virtual time on by n + oversleepMilliseconds, as a real sleep
// that takes longer than asked does. Off (the default): a sleep only yields
// and the time stands. Any thread; set it while nothing else sleeps.
void setVirtualSleep(bool movesTime, uint32_t oversleepMilliseconds);

} // namespace korvanthe
