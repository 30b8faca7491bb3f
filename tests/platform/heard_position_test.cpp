// The play position taken from a sound server's clock: carried between the
// server's reports, and kept within what the loop allows. The numbers are
// worked out by hand at 44100 Hz (4 bytes a frame).
#include <gtest/gtest.h>

#include "platform/sdl2/heard_position.h"

namespace korvanthe {
namespace {

constexpr int64_t Carry = 100000; // at most 100 ms carried past a report

TEST(HeardPosition, ReportCarriedAtTheRateWhilePlayingOnly) {
    // 10 ms after a report of 1000 frames: 441 frames more.
    EXPECT_EQ(streamFramesHeard(1000, 10000, true, Carry, 44100), 1441);
    // Right at the report, and a report that seems to lie ahead of the clock.
    EXPECT_EQ(streamFramesHeard(1000, 0, true, Carry, 44100), 1000);
    EXPECT_EQ(streamFramesHeard(1000, -500, true, Carry, 44100), 1000);
    // No report for 300 ms: only 100 ms (4410 frames) carried.
    EXPECT_EQ(streamFramesHeard(1000, 300000, true, Carry, 44100), 5410);
    // The sink had run dry at the report: the position waits for the next.
    EXPECT_EQ(streamFramesHeard(1000, 10000, false, Carry, 44100), 1000);
}

// A loop of 88400 frames (353600 bytes), started after 17640 bytes of
// silence (100 ms) had gone to the stream.
constexpr uint32_t LoopBytes = 353600;
constexpr uint64_t Silence = 17640;

TEST(HeardPosition, SilenceBeforeTheLoopIsNotTheLoop) {
    // Still in the silence: nothing of the loop heard yet.
    EXPECT_EQ(loopBytesHeard(10000, Silence, 70560, LoopBytes, 0), 0u);
    // 4000 bytes into the loop, of 70560 written.
    EXPECT_EQ(loopBytesHeard(Silence + 4000, Silence, 70560, LoopBytes, 0), 4000u);
}

TEST(HeardPosition, NeverBackNeverPastWhatWasWritten) {
    // A report behind the last answer (a late report, a rounding) holds it.
    EXPECT_EQ(loopBytesHeard(Silence + 4000, Silence, 70560, LoopBytes, 5000), 5000u);
    // A clock carried past what the stream was given stops there.
    EXPECT_EQ(loopBytesHeard(Silence + 90000, Silence, 70560, LoopBytes, 5000), 70560u);
    // Even when the last answer is already there.
    EXPECT_EQ(loopBytesHeard(Silence + 90000, Silence, 70560, LoopBytes, 70560), 70560u);
}

TEST(HeardPosition, LatencyBeyondHalfTheLoopIsNotCounted) {
    // 1 000 000 bytes written, the clock 1.5 s (264600 bytes) behind them:
    // more than half the loop (176800), so the position is held at
    // 1000000 - 176800 = 823200.
    EXPECT_EQ(loopBytesHeard(Silence + 1000000 - 264600, Silence, 1000000, LoopBytes, 0), 823200u);
    // 200 ms (35280 bytes) behind: counted in full.
    EXPECT_EQ(loopBytesHeard(Silence + 1000000 - 35280, Silence, 1000000, LoopBytes, 0), 964720u);
}

} // namespace
} // namespace korvanthe
