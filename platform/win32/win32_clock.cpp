#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include "platform/clock.h"

namespace korvanthe {

uint32_t platformMilliseconds() {
    return timeGetTime();
}

void platformSleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace korvanthe
