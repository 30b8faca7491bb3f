#include "host/frame_pacing.h"

#include "platform/clock.h"
#include "platform/window_system.h"

namespace korvanthe {

namespace {

constexpr int AssumedRefreshHertz = 60;

int knownHertz(int refreshHertz) {
    return refreshHertz > 0 ? refreshHertz : AssumedRefreshHertz;
}

// A run of frames paced from its first: frame `frame` of it is due at
// plannedFrameMilliseconds(frame) after `origin`. Every whole second the
// origin moves on by 1000 ms and the count back by the rate, exactly, so the
// count stays small.
struct FramePacing {
    bool started = false;
    int hertz = 0;
    uint32_t origin = 0; // platform milliseconds of the run's frame 0
    uint32_t frame = 0;  // frames let through since origin
};

FramePacing pacing;

void startRun(uint32_t now, int hertz) {
    pacing.started = true;
    pacing.hertz = hertz;
    pacing.origin = now;
    pacing.frame = 0;
}

} // namespace

uint32_t plannedFrameMilliseconds(uint32_t frame, int refreshHertz) {
    return static_cast<uint32_t>(static_cast<uint64_t>(frame) * 1000 /
                                 static_cast<uint64_t>(knownHertz(refreshHertz)));
}

void restartFramePacing() {
    pacing = FramePacing{};
}

void paceFrame() {
    const uint32_t now = platformMilliseconds();
    const int hertz = knownHertz(platformRefreshRate());
    if (!pacing.started || hertz != pacing.hertz) {
        startRun(now, hertz);
        return;
    }
    ++pacing.frame;
    if (pacing.frame >= static_cast<uint32_t>(hertz)) {
        pacing.frame -= static_cast<uint32_t>(hertz);
        pacing.origin += 1000;
    }
    // Unsigned differences: right across the clock's wrap as well.
    const uint32_t elapsed = now - pacing.origin;
    const uint32_t due = plannedFrameMilliseconds(pacing.frame, hertz);
    const uint32_t period = plannedFrameMilliseconds(1, hertz);
    if (static_cast<int32_t>(due - elapsed) > 0) {
        platformSleep(due - elapsed);
    } else if (elapsed - due >= period) {
        startRun(now, hertz);
    }
}

} // namespace korvanthe
