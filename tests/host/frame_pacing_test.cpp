// The frame pacing's arithmetic: the period a display's refresh rate gives,
// and the wait after a swap that came early. The swap that waited for the
// display must not be held up further.
#include <gtest/gtest.h>

#include "host/frame_pacing.h"

namespace korvanthe {
namespace {

TEST(FramePacing, PeriodFollowsTheRefreshRateRoundedDown) {
    EXPECT_EQ(framePeriodMilliseconds(60), 16u);
    EXPECT_EQ(framePeriodMilliseconds(144), 6u);
    EXPECT_EQ(framePeriodMilliseconds(50), 20u);
    // Unknown: taken as 60 Hz.
    EXPECT_EQ(framePeriodMilliseconds(0), 16u);
    EXPECT_EQ(framePeriodMilliseconds(-1), 16u);
}

TEST(FramePacing, OnlyAnEarlySwapWaits) {
    struct Case {
        uint32_t sinceLastFrame;
        uint32_t wait;
    };
    const Case cases[] = {
        {0, 16},  // no vertical sync: the swap came at once
        {3, 13},  // a quick frame
        {15, 1},  // just short of a period
        {16, 0},  // a swap that waited for a 60 Hz display
        {17, 0},  //
        {250, 0}, // a slow frame
    };
    for (const Case& c : cases) {
        EXPECT_EQ(frameWaitMilliseconds(c.sinceLastFrame, 16), c.wait) << c.sinceLastFrame;
    }
}

} // namespace
} // namespace korvanthe
