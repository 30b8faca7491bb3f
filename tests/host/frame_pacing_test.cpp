// The frame pacing: frames let through at planned times, 1/60 s apart on the
// headless backend (which reports no refresh rate), measured on its virtual
// clock with sleeps that move that clock, some of them longer than asked.
#include <gtest/gtest.h>

#include <vector>

#include "host/frame_pacing.h"
#include "platform/clock.h"
#include "platform/headless/virtual_clock.h"

namespace korvanthe {
namespace {

TEST(FramePacing, PlannedTimesFollowTheRefreshRateRoundedDown) {
    struct Case {
        uint32_t frame;
        int hertz;
        uint32_t milliseconds;
    };
    const Case cases[] = {
        {0, 60, 0},     //
        {1, 60, 16},    // 16.67
        {2, 60, 33},    // 33.33
        {3, 60, 50},    //
        {59, 60, 983},  // 983.33
        {60, 60, 1000}, // a second on the dot: nothing lost to rounding
        {1, 144, 6},    // 6.94
        {7, 144, 48},   // 48.61
        {1, 50, 20},    //
        {1, 0, 16},     // unknown: taken as 60 Hz
        {3, -1, 50},    //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plannedFrameMilliseconds(c.frame, c.hertz), c.milliseconds)
            << c.frame << " at " << c.hertz << " Hz";
    }
}

// Frames that take drawMilliseconds each (a swap that returns at once adds
// nothing), paced with sleeps that oversleep by oversleep ms; the times at
// which paceFrame let each frame through, from frame 0 at 1000 ms.
std::vector<uint32_t> paceFrames(int frames, uint32_t drawMilliseconds, uint32_t oversleep) {
    setVirtualMilliseconds(1000);
    setVirtualSleep(true, oversleep);
    restartFramePacing();
    std::vector<uint32_t> times;
    for (int frame = 0; frame < frames; ++frame) {
        paceFrame();
        times.push_back(platformMilliseconds());
        advanceVirtualMilliseconds(drawMilliseconds);
    }
    setVirtualSleep(false, 0);
    return times;
}

TEST(FramePacing, OversleepingDoesNotLowerTheRate) {
    // 601 frames, frame 600 due at 10 s. Each sleep 3 ms too long: every
    // frame is let through 3 ms late (frame 600 at 1000 + 10000 + 3), but no
    // later than that; pacing from the end of each sleep would have given
    // one frame every 16 + 3 ms, 52.6 a second.
    const std::vector<uint32_t> times = paceFrames(601, 0, 3);
    EXPECT_EQ(times[0], 1000u);
    EXPECT_EQ(times[1], 1000u + 16 + 3);
    EXPECT_EQ(times[2], 1000u + 33 + 3);
    EXPECT_EQ(times[3], 1000u + 50 + 3);
    EXPECT_EQ(times[600], 1000u + 10000 + 3);
    // A sleep 10 ms too long, with 5 ms of drawing: still 60 a second.
    EXPECT_EQ(paceFrames(601, 5, 10)[600], 1000u + 10000 + 10);
}

TEST(FramePacing, NeverFasterThanTheDisplay) {
    // Sleeps exactly as asked: no frame comes before its planned time.
    const std::vector<uint32_t> times = paceFrames(121, 0, 0);
    for (uint32_t frame = 0; frame < times.size(); ++frame) {
        EXPECT_EQ(times[frame], 1000u + plannedFrameMilliseconds(frame, 60)) << frame;
    }
}

TEST(FramePacing, AFrameThatWaitedForTheDisplayWaitsNoMore) {
    // Frames of 17 ms (a swap that waited for a display a little slower than
    // 60 Hz): no sleep at all, 17 ms apart.
    const std::vector<uint32_t> times = paceFrames(200, 17, 50);
    for (uint32_t frame = 1; frame < times.size(); ++frame) {
        EXPECT_EQ(times[frame] - times[frame - 1], 17u) << frame;
    }
}

TEST(FramePacing, ASlowFrameIsNotMadeUpByABurst) {
    setVirtualMilliseconds(5000);
    setVirtualSleep(true, 0);
    restartFramePacing();
    paceFrame(); // frame 0 at 5000
    advanceVirtualMilliseconds(250);
    paceFrame(); // due at 5016, came at 5250: a new run from here
    EXPECT_EQ(platformMilliseconds(), 5250u);
    paceFrame(); // the next one 16 ms later, not at once
    EXPECT_EQ(platformMilliseconds(), 5266u);
    paceFrame();
    EXPECT_EQ(platformMilliseconds(), 5283u);
    setVirtualSleep(false, 0);
}

TEST(FramePacing, RightAcrossTheClockWrap) {
    // Frame 0 at 20 ms before the 32-bit clock wraps; frame 3 due 50 ms later.
    setVirtualMilliseconds(0xFFFFFFFFu - 19);
    setVirtualSleep(true, 0);
    restartFramePacing();
    for (int frame = 0; frame < 4; ++frame) {
        paceFrame();
    }
    EXPECT_EQ(platformMilliseconds(), 0xFFFFFFFFu - 19 + 50);
    setVirtualSleep(false, 0);
}

} // namespace
} // namespace korvanthe
