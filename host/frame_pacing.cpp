#include "host/frame_pacing.h"

#include "platform/clock.h"
#include "platform/window_system.h"

namespace korvanthe {

namespace {

constexpr int AssumedRefreshHertz = 60;

struct FramePacing {
    bool started = false;
    uint32_t lastFrame = 0; // platform milliseconds when the last frame was let through
};

FramePacing pacing;

} // namespace

uint32_t framePeriodMilliseconds(int refreshHertz) {
    const int hertz = refreshHertz > 0 ? refreshHertz : AssumedRefreshHertz;
    // Rounded down: a swap that waits for the display is never held up
    // further by the pacing.
    return static_cast<uint32_t>(1000 / hertz);
}

uint32_t frameWaitMilliseconds(uint32_t sinceLastFrame, uint32_t period) {
    return sinceLastFrame < period ? period - sinceLastFrame : 0;
}

void restartFramePacing() {
    pacing = FramePacing{};
}

void paceFrame() {
    const uint32_t now = platformMilliseconds();
    if (pacing.started) {
        // Unsigned difference: right across the clock's wrap as well.
        const uint32_t wait = frameWaitMilliseconds(now - pacing.lastFrame,
                                                    framePeriodMilliseconds(platformRefreshRate()));
        if (wait > 0) {
            platformSleep(wait);
        }
    }
    pacing.started = true;
    pacing.lastFrame = platformMilliseconds();
}

} // namespace korvanthe
