// A frame-by-frame run (the capture tool, the page's frame mode) that begins
// at a later moment of the show: frame k of such a run is frame
// firstFrame + k of the run from the start, pixel for pixel. The song starts
// at that frame's moment, and the timeline is brought to where the run from
// the start has it then: every earlier frame's entries delivered as that run
// delivered them (at the position it heard and the clock it read in that
// frame), with nothing drawn. From then on the position is the song block of
// the very frame heard (the ring's blocks no longer line up with the song's).
//
// The rule of time is host/frame_clock.h's. First thread.
#pragma once

#include <cstdint>
#include <string>

#include "audio/song_position.h"
#include "host/main_sequence.h"

namespace korvanthe {

// The hooks that start the main sequence at the run's frame `firstFrame` at
// fps frames per second, added to `hooks` (beforePlay and position); nothing
// for frame 0. The caller's beforeFrame(k) must move the clock to
// clockOfVideoFrame(firstFrame + k) and the sound device on to
// stretchDeviceFrame(firstFrame, k, fps).
void addStretchStart(MainSequenceHooks& hooks, int64_t firstFrame, int fps);

// The run's frame at which a stretch from `from` of the song at songPath
// begins: the first frame whose moment is at or after the song frame `from`
// stands for (as korvanthe-capture --from starts). False, with the reason
// ("order 40: the song's orders are 0 to 7"), when the song does not load or
// lacks the position. Replays the song once unheard; call it before the song
// plays.
bool findStretchFirstFrame(const std::string& songPath, const SongPosition& from, int fps,
                           int64_t& firstFrame, std::string& reason);

// The device frame (counted from the start of its loop) that frame k of the
// stretch is heard at.
int64_t stretchDeviceFrame(int64_t firstFrame, int64_t frame, int fps);

} // namespace korvanthe
