// The millisecond clock and sleep of the platform.
// sdl2 and win32 read the system clock (the same on sdl2 whether its sound
// goes to PulseAudio or through SDL); web reads the page's clock and never
// sleeps, since the page must not block (its frame by frame mode sets the
// time instead, platform/web/web_virtual_time.h); headless keeps a virtual
// clock that its caller drives (see platform/headless/virtual_clock.h), so
// tests and the capture tool decide what time it is.
#pragma once

#include <cstdint>

namespace korvanthe {

// Milliseconds since some fixed origin, unsigned 32 bits, wrapping.
// Any thread.
uint32_t platformMilliseconds();

// Gives up the calling thread for about the given time. Any thread.
void platformSleep(uint32_t milliseconds);

} // namespace korvanthe
