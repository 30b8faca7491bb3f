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

// A timing report followed to the loop's bytes heard, as the PulseAudio
// output does: the report's clock, carried from the moment it describes to
// the query, then kept within the loop. The loop as above: 17640 bytes of
// silence (4410 frames) before it; 70560 bytes of it written unless a case
// says otherwise.
struct ReportCase {
    const char* what;
    ServerTimingReport report;
    int64_t queryAfterArrival; // microseconds
    uint64_t writtenBytes;
    uint64_t lastAnswer;
    uint64_t heard;
};

TEST(HeardPosition, TimingReportsFollowedToTheLoop) {
    // 200 ms of the loop taken: 17640 + 35280 = 52920 bytes, 13230 frames.
    constexpr uint64_t Taken = 52920;
    const ReportCase cases[] = {
        // 13230 - 2205 (50 ms held) = 11025 frames at the report, made 2 ms
        // before it arrived; asked 3 ms after: 5 ms (220 frames) on, 11245
        // frames, 44980 bytes, less the silence: 27340 (155 ms of loop).
        {"a first report", {Taken, 50000, 2000, true}, 3000, 70560, 0, 27340},
        // Made 30 ms (more than a block) before it arrived: carried 33 ms,
        // 1455 frames: 12480, 49920 bytes, 32280 of loop.
        {"a report late by more than a block", {Taken, 50000, 30000, true}, 3000, 70560, 0, 32280},
        // Made 250 ms before: the carry stops at 100 ms (4410 frames): 15435
        // frames, 61740 bytes, 44100 of loop.
        {"a report far too old", {Taken, 50000, 250000, true}, 3000, 70560, 0, 44100},
        // A time stamp ahead of our clock is taken as made on arrival.
        {"a report from the future", {Taken, 50000, -7000, true}, 0, 70560, 0, 26460},
        // After 27340: 100 frames more taken, but 52 ms held (2293 frames):
        // 13330 - 2293 = 11037 frames, 44148 bytes, 26508 of loop, below the
        // last answer, which stands.
        {"a clock that jitters backwards", {Taken + 400, 52000, 0, true}, 0, 70560, 27340, 27340},
        // The sink ran dry: not carried, 11025 frames, 26460 bytes of loop.
        {"a sink that is not playing", {Taken, 50000, 10000, false}, 10000, 70560, 0, 26460},
        // No latency reported: all that was taken counts as heard, 35280.
        {"a server that reports no latency", {Taken, 0, 0, true}, 0, 70560, 0, 35280},
        // Still in the silence before the loop: 8000 bytes taken.
        {"a report before the loop", {8000, 0, 0, true}, 0, 70560, 0, 0},
        // 40000 bytes of loop taken by the clock, only 30000 written.
        {"a clock past what was written", {17640 + 40000, 0, 0, true}, 0, 30000, 0, 30000},
        // PULSE_LATENCY_MSEC=1500: 1000000 bytes of loop written and taken
        // (254410 frames), 1.5 s (66150 frames) held: 188260 frames, 735400
        // bytes of loop, more than half the loop (176800) behind: held at
        // 1000000 - 176800.
        {"latency larger than half the ring", {17640 + 1000000, 1500000, 0, true}, 0, 1000000, 0,
         823200},
    };
    for (const ReportCase& c : cases) {
        const ServerClock clock = serverClockOfReport(c.report, 44100, Carry);
        const int64_t frames =
            streamFramesHeard(clock.frames, c.queryAfterArrival + clock.microsecondsBeforeArrival,
                              clock.running, Carry, 44100);
        EXPECT_EQ(loopBytesHeard(static_cast<uint64_t>(frames) * 4, Silence, c.writtenBytes,
                                 LoopBytes, c.lastAnswer),
                  c.heard)
            << c.what;
    }
}

} // namespace
} // namespace korvanthe
