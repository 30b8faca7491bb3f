// The arithmetic of the page's play position, apart from the browser that
// delivers the numbers, so that its rules are tested natively too
// (tests/platform/web_heard_position_test.cpp). The web backend gathers the
// context's clock, its latency and the sound device's reports in JavaScript
// and hands them here. Pure functions; any thread.
//
// Times are the audio context's, in seconds; positions are frames of the
// loop since it started, counting every pass through the ring.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korvanthe {

// The output latency a context reports, in seconds: outputLatency where the
// engine gives it (what lies between the context's clock and the
// loudspeaker), else baseLatency (the context's own buffering, a part of
// it), else 0. A value the engine leaves out reaches here as NaN; negative,
// 0 (not yet known) or not finite counts as left out.
inline double webOutputLatencySeconds(double outputLatency, double baseLatency) {
    if (std::isfinite(outputLatency) && outputLatency > 0) {
        return outputLatency;
    }
    if (std::isfinite(baseLatency) && baseLatency > 0) {
        return baseLatency;
    }
    return 0;
}

// Whole frames in a stretch of the context's time at sampleRate, rounded
// toward zero (a stretch back in time gives frames back).
inline int64_t framesInSeconds(double seconds, int32_t sampleRate) {
    if (!std::isfinite(seconds)) {
        return 0;
    }
    return static_cast<int64_t>(std::trunc(seconds * sampleRate));
}

// What the sound device last said: frame `frames` of the loop goes out at
// context time `time`. The worklet says so at the start of a render quantum
// (every 1024 frames); the script processor for each buffer it fills (the
// frames copied before it, and the buffer's playbackTime).
struct WebSoundReport {
    uint64_t frames;
    double time;
};

// The report is carried forward on the context's clock by at most this
// much: the clock runs on while a device that has stopped answering (a
// worklet gone, a script processor whose page is busy) plays nothing of the
// song. Reports come every 23 ms or 46 ms and queue behind a busy page, so
// this is several of them.
constexpr double LongestReportCarrySeconds = 0.25;

// The latency taken off what the device has played, in frames: at most half
// the ring. The ring is refilled behind the heard position while the device
// plays it a latency ahead; with a latency near the ring's length it would
// play blocks not yet refilled, so beyond half the ring it is not counted
// (as on the sound server, platform/sdl2/heard_position.h).
inline int64_t countedLatencyFrames(double latencySeconds, int32_t sampleRate, int32_t ringFrames) {
    return std::clamp<int64_t>(framesInSeconds(latencySeconds, sampleRate), 0, ringFrames / 2);
}

// Heard at context time contextTime: the report carried to it (forward by
// at most LongestReportCarrySeconds; back as well, since the page's copy of
// the clock may stand a little behind the audio thread's), less the output
// latency. Never back from lastAnswer, and never past ceiling, the frames of
// the loop the device can have played: what the script processor has
// copied, or what the page has posted to the worklet (the ring at the
// start, then every block rendered since), since a worklet starved of
// blocks replays its old ring, which is not the song going on.
inline uint64_t webFramesHeard(const WebSoundReport& report, double contextTime,
                               double latencySeconds, int32_t sampleRate, int32_t ringFrames,
                               uint64_t ceiling, uint64_t lastAnswer) {
    const double carried = std::min(contextTime - report.time, LongestReportCarrySeconds);
    const int64_t estimate = static_cast<int64_t>(report.frames) +
                             framesInSeconds(carried, sampleRate) -
                             countedLatencyFrames(latencySeconds, sampleRate, ringFrames);
    const uint64_t estimated = estimate > 0 ? static_cast<uint64_t>(estimate) : 0;
    return std::clamp(estimated, lastAnswer, std::max(lastAnswer, ceiling));
}

// A render quantum of Web Audio, the frames the worklet plays in one go.
constexpr int64_t RenderQuantumFrames = 128;

// Whether two reports of the worklet tell the same clock: the frames
// between them are the context time between them, to within a quantum. The
// worklet's first report after a start can bear a time from before the
// start (seen in Chromium: 0.2 s early, which would run the position ahead
// of the sound and have the page rewrite blocks not yet played); a report
// is therefore used only once the next one bears it out.
inline bool webReportsAgree(const WebSoundReport& earlier, const WebSoundReport& later,
                            int32_t sampleRate) {
    if (later.frames <= earlier.frames) {
        return false;
    }
    const int64_t frames = static_cast<int64_t>(later.frames - earlier.frames);
    const int64_t clock = framesInSeconds(later.time - earlier.time, sampleRate);
    return frames - clock <= RenderQuantumFrames && clock - frames <= RenderQuantumFrames;
}

// How long a block posted to the worklet may take to arrive there: the
// message waits for the audio thread's next quantum, and for the thread
// itself on a busy machine.
constexpr double LongestPostSeconds = 0.02;

// Frames of the loop that the worklet may have taken by contextTime, a
// bound from above: its report carried forward without limit (the
// context's clock never runs ahead of the audio thread) and never back,
// plus the quantum it may be playing, what it may play while a message is
// on its way, and the context's own buffering (bufferingSeconds, its
// baseLatency): the audio thread renders that much in one go, ahead of the
// clock the page sees. Never below heardFrames. Before its first report the
// report to pass is {0, the context time at which the loop was posted}.
inline uint64_t workletFramesTaken(const WebSoundReport& report, double contextTime,
                                   int32_t sampleRate, double bufferingSeconds,
                                   uint64_t heardFrames) {
    const int64_t taken =
        static_cast<int64_t>(report.frames) +
        std::max<int64_t>(framesInSeconds(contextTime - report.time, sampleRate), 0) +
        RenderQuantumFrames + framesInSeconds(LongestPostSeconds, sampleRate) +
        std::max<int64_t>(framesInSeconds(bufferingSeconds, sampleRate), 0);
    return std::max(heardFrames, static_cast<uint64_t>(taken));
}

} // namespace korvanthe
