// Time as the frame-by-frame renderers set it: the capture tool, the web
// page's frame-by-frame mode and the tests' model of the show. Frame k of a
// run at fps frames per second is heard at sound frame k x 44100 / fps and
// shown with the clock at an hour plus k x 1000 / fps milliseconds. Every one
// of them must keep to the same rule, so that their frame k is one moment.
#pragma once

#include <cstdint>

namespace korvanthe {

// The rate of the sound that frame-by-frame runs play.
inline constexpr int32_t FrameClockSampleRate = 44100;

// The effects' clock reads as on a machine that has been up for an hour, as
// the demo's does: an effect whose timer the script never restarted is long
// past its start (a flash that was started but not reset stays dark).
inline constexpr uint32_t FrameClockOriginMilliseconds = 3'600'000;

// The sound frame heard when video frame `frame` is shown.
inline int64_t soundFrameOfVideoFrame(int64_t frame, int fps) {
    return frame * FrameClockSampleRate / fps;
}

// The first video frame whose moment is at or after sound frame soundFrame.
inline int64_t firstVideoFrameAtOrAfter(int64_t soundFrame, int fps) {
    return (soundFrame * fps + FrameClockSampleRate - 1) / FrameClockSampleRate;
}

// The clock, in milliseconds, when video frame `frame` is shown.
inline uint32_t clockOfVideoFrame(int64_t frame, int fps) {
    return FrameClockOriginMilliseconds + static_cast<uint32_t>(frame * 1000 / fps);
}

} // namespace korvanthe
