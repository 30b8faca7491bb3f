#include <emscripten.h>

#include "platform/clock.h"
#include "platform/web/web_virtual_time.h"

namespace korvanthe {

uint32_t platformMilliseconds() {
    if (webVirtualTimeActive()) {
        return webVirtualMilliseconds();
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

// The page must not block: its frames come from the browser, which paces
// them by the display, and the sound is refilled from the page's timers. A
// wait here would only freeze the page, so there is none.
void platformSleep(uint32_t) {}

} // namespace korvanthe
