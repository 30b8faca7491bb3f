// The page's play position, from the numbers the browser gives: the
// context's clock and latency, and the sound device's reports. Worked out by hand
// at 44100 Hz with a ring of 88400 frames; the times are sums of powers of
// two, so the seconds multiply out exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/web/web_heard_position.h"

namespace korvanthe {
namespace {

constexpr int32_t Rate = 44100;
constexpr int32_t Ring = 88400;
constexpr double NotGiven = std::numeric_limits<double>::quiet_NaN();
// 15.625 ms: 689.0625 frames, 689 counted.
constexpr double Latency = 0.015625;

TEST(WebHeardPosition, LatencyIsTheOutputsElseTheContextsElseNone) {
    EXPECT_EQ(webOutputLatencySeconds(0.0125, 0.01), 0.0125);
    EXPECT_EQ(webOutputLatencySeconds(NotGiven, 0.01), 0.01); // an engine without outputLatency
    EXPECT_EQ(webOutputLatencySeconds(0, 0.01), 0.01);        // reported as 0: not known yet
    EXPECT_EQ(webOutputLatencySeconds(-1, 0.005), 0.005);
    EXPECT_EQ(webOutputLatencySeconds(0, 0), 0.0); // no latency reported at all
    EXPECT_EQ(webOutputLatencySeconds(NotGiven, NotGiven), 0.0);
    EXPECT_EQ(webOutputLatencySeconds(std::numeric_limits<double>::infinity(), NotGiven), 0.0);
}

struct HeardCase {
    const char* what;
    WebSoundReport report;
    double contextTime;
    double latency;
    uint64_t ceiling; // copied by the script processor, posted to the worklet
    uint64_t lastAnswer;
    uint64_t heard;
};

void expectHeard(const HeardCase& c) {
    EXPECT_EQ(webFramesHeard(c.report, c.contextTime, c.latency, Rate, Ring, c.ceiling, c.lastAnswer),
              c.heard)
        << c.what;
}

TEST(WebHeardPosition, WorkletFromItsReportsOnTheContextsClock) {
    const HeardCase cases[] = {
        // Its first report, on the quantum that began the loop at 1.0.
        {"a first report", {0, 1.0}, 1.0, Latency, Ring, 0, 0},
        // 125 ms after it: 5512 frames played, 4823 heard.
        {"125 ms after the first report", {0, 1.0}, 1.125, Latency, Ring, 0, 4823},
        {"no latency reported", {0, 1.0}, 1.125, 0, Ring, 0, 5512},
        // A report late by more than a block (31.25 ms: 1378.125 frames):
        // carried on the context's clock, 44100 + 1378 - 689.
        {"a report late by more than a block", {44100, 2.0}, 2.03125, Latency, Ring, 0, 44789},
        // No report for a second: carried 250 ms (11025 frames) at most.
        {"a worklet that stopped reporting", {44100, 2.0}, 3.0, Latency, Ring, 0, 54436},
        // The page's clock 7.8125 ms (344.53 frames) behind the report's:
        // carried back, 44100 - 344 - 689.
        {"a page clock behind the report", {44100, 2.0}, 1.9921875, Latency, Ring, 0, 43067},
        // 5167 - 689 = 4478 after 4823: the last answer stands.
        {"a clock that jitters backwards", {0, 1.0}, 1.1171875, Latency, Ring, 4823, 4823},
        // 1.25 s of latency (55125 frames) counts as half the ring, 44200.
        {"latency larger than half the ring", {100000, 4.0}, 4.0, 1.25, 200000, 0, 55800},
        // 100000 played, but the page has posted only the ring and one block.
        {"past what was posted", {100000, 4.0}, 4.0, 0, Ring + 884, 0, Ring + 884},
    };
    for (const HeardCase& c : cases) {
        expectHeard(c);
    }
}

TEST(WebHeardPosition, ScriptProcessorFromItsBuffers) {
    // Buffers of 2048 frames; the second begins at context time 0.546875.
    const HeardCase cases[] = {
        // The first buffer, at its playback time: the latency is still ahead.
        {"a first report", {0, 0.5}, 0.5, Latency, 2048, 0, 0},
        // 15.625 ms (689 frames) into the second buffer, 689 frames of latency.
        {"into the second buffer", {2048, 0.546875}, 0.5625, Latency, 4096, 0, 2048},
        {"no latency reported", {2048, 0.546875}, 0.5625, 0, 4096, 0, 2737},
        // The page stalls, the processor plays stale buffers: the clock runs
        // on, but the position stops at what was copied.
        {"a busy page", {2048, 0.546875}, 1.0, Latency, 4096, 0, 4096},
        // 2048 + 344 - 689 = 1703 after 2100: the last answer stands.
        {"a clock that jitters backwards", {2048, 0.546875}, 0.5546875, Latency, 4096, 2100, 2100},
        {"latency larger than half the ring", {100000, 4.0}, 4.0, 1.25, 102048, 0, 55800},
    };
    for (const HeardCase& c : cases) {
        expectHeard(c);
    }
}

TEST(WebHeardPosition, WorkletReportsAreUsedWhenTheNextBearsThemOut) {
    // 1024 frames are 23.22 ms: 1.0 and 1.0232199 agree.
    EXPECT_TRUE(webReportsAgree({0, 1.0}, {1024, 1.0232199}, Rate));
    // Within a quantum (128 frames, 2.9 ms) either way.
    EXPECT_TRUE(webReportsAgree({0, 1.0}, {1024, 1.025}, Rate));    // 1102 frames of clock
    EXPECT_TRUE(webReportsAgree({0, 1.0}, {1024, 1.0205}, Rate));   // 904
    EXPECT_FALSE(webReportsAgree({0, 1.0}, {1024, 1.03125}, Rate)); // 1378
    // Chromium's first report after a start, 0.2 s before its true time.
    EXPECT_FALSE(webReportsAgree({0, 0.1858}, {1024, 0.3947}, Rate));
    // The same report twice, or out of turn.
    EXPECT_FALSE(webReportsAgree({1024, 1.0}, {1024, 1.0}, Rate));
    EXPECT_FALSE(webReportsAgree({2048, 1.0}, {1024, 0.98}, Rate));
}

TEST(WebHeardPosition, WorkletTakenIsABoundAbovePlayed) {
    // Played, carried without limit and never back, plus a quantum (128) and
    // 20 ms of a message on its way (882): 1010 frames.
    EXPECT_EQ(workletFramesTaken({0, 1.0}, 1.0, Rate, 0, 0), 1010u);            // before any report
    EXPECT_EQ(workletFramesTaken({44100, 2.0}, 2.03125, Rate, 0, 0), 46488u);   // 1378 carried
    EXPECT_EQ(workletFramesTaken({44100, 2.0}, 3.0, Rate, 0, 0), 89210u);       // no limit
    EXPECT_EQ(workletFramesTaken({44100, 2.0}, 1.9921875, Rate, 0, 0), 45110u); // not carried back
    EXPECT_EQ(workletFramesTaken({44100, 2.0}, 2.0, Rate, 0, 50000), 50000u);   // never below heard
    // A context that renders 0.1015625 s (4478.9 frames) in one go.
    EXPECT_EQ(workletFramesTaken({44100, 2.0}, 2.0, Rate, 0.1015625, 0), 49588u);
}

} // namespace
} // namespace korvanthe
