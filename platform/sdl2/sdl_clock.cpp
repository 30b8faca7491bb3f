#include <SDL.h>

#include "platform/clock.h"

namespace korvanthe {

uint32_t platformMilliseconds() {
    return SDL_GetTicks();
}

void platformSleep(uint32_t milliseconds) {
    SDL_Delay(milliseconds);
}

} // namespace korvanthe
