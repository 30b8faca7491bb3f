// The arithmetic of the play position that the server's clock gives, apart
// from the library that delivers the clock, so that its rules can be tested
// where no sound server runs. Pure functions; any thread.
#pragma once

#include <algorithm>
#include <cstdint>

namespace korvanthe {

// One timing report of the server, as far as the position needs it.
struct ServerTimingReport {
    uint64_t readIndexBytes;         // bytes of the stream the server has taken
    int64_t sinkLatencyMicroseconds; // what the sink holds of them unplayed; 0: none reported
    int64_t ageMicroseconds;         // from the report's time stamp to its arrival
    bool sinkPlaying;                // whether the sink was playing the stream then
};

// What a report says, ready to be carried forward: the stream's frames
// heard at the moment it describes (what the server took less what the
// sink still holds, never below 0), and that moment, counted back from the
// report's arrival by its age (not below 0: a time stamp ahead of our clock
// is taken as made on arrival; at most longestCarryMicroseconds: a stamp
// older than that is from a clock that cannot be trusted).
struct ServerClock {
    int64_t frames;
    int64_t microsecondsBeforeArrival;
    bool running;
};

inline ServerClock serverClockOfReport(const ServerTimingReport& report, int32_t sampleRate,
                                       int64_t longestCarryMicroseconds) {
    const int64_t heldFrames = std::max<int64_t>(report.sinkLatencyMicroseconds, 0) *
                               sampleRate / 1000000;
    const int64_t takenFrames = static_cast<int64_t>(report.readIndexBytes / 4);
    return ServerClock{std::max<int64_t>(takenFrames - heldFrames, 0),
                       std::clamp<int64_t>(report.ageMicroseconds, 0, longestCarryMicroseconds),
                       report.sinkPlaying};
}

// Frames of the stream heard now: the server's last report (frames heard at
// the moment it describes), carried forward at the nominal rate by the time
// since then, at most longestCarryMicroseconds, and not at all when the sink
// was not playing then (a stream run dry does not move on).
inline int64_t streamFramesHeard(int64_t reportedFrames, int64_t microsecondsSinceReport,
                                 bool sinkPlaying, int64_t longestCarryMicroseconds,
                                 int32_t sampleRate) {
    const int64_t carried =
        sinkPlaying ? std::clamp<int64_t>(microsecondsSinceReport, 0, longestCarryMicroseconds) : 0;
    return reportedFrames + carried * sampleRate / 1000000;
}

// Bytes of the loop heard, from the stream's bytes heard: less the silence
// the stream played before the loop began (loopStartBytes); never less than
// the last answer; never more than the loop bytes handed to the stream
// (loopWrittenBytes); and never more than half the loop behind them. The
// loop is refilled behind this position while the stream reads it a latency
// ahead, so a latency near the loop's length (PULSE_LATENCY_MSEC can ask for
// seconds) would have the stream read parts not yet refilled: beyond half
// the loop it is not counted.
inline uint64_t loopBytesHeard(uint64_t streamBytesHeard, uint64_t loopStartBytes,
                               uint64_t loopWrittenBytes, uint32_t loopBytes, uint64_t lastAnswer) {
    uint64_t heard = streamBytesHeard > loopStartBytes ? streamBytesHeard - loopStartBytes : 0;
    const uint64_t halfLoop = loopBytes / 2;
    if (loopWrittenBytes > halfLoop) {
        heard = std::max(heard, loopWrittenBytes - halfLoop);
    }
    return std::clamp(heard, lastAnswer, std::max(lastAnswer, loopWrittenBytes));
}

} // namespace korvanthe
