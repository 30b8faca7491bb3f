#include "platform/web/web_virtual_time.h"

namespace korvanthe {

namespace {

struct VirtualTime {
    bool active = false;
    uint32_t milliseconds = 0;
    uint64_t heardFrames = 0;
};

VirtualTime virtualTime;

} // namespace

void setWebVirtualTime(uint32_t milliseconds, uint64_t heardFrames) {
    virtualTime = VirtualTime{true, milliseconds, heardFrames};
}

void clearWebVirtualTime() {
    virtualTime = VirtualTime{};
}

bool webVirtualTimeActive() {
    return virtualTime.active;
}

uint32_t webVirtualMilliseconds() {
    return virtualTime.milliseconds;
}

uint64_t webVirtualHeardFrames() {
    return virtualTime.heardFrames;
}

} // namespace korvanthe
