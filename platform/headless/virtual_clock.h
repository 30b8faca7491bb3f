// The headless backend's clock is virtual: time moves only when the caller
// says so, which makes every test and every capture deterministic.
#pragma once

#include <cstdint>

namespace korvanthe {

// Sets the time that platformMilliseconds reports. Any thread.
void setVirtualMilliseconds(uint32_t milliseconds);

// Moves the virtual time forward. Any thread.
void advanceVirtualMilliseconds(uint32_t milliseconds);

} // namespace korvanthe
