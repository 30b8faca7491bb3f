// Keeps the frame loop from running faster than the display can show frames.
// The loop draws as fast as the buffer swap lets it; where the swap does not
// wait for the display (no vertical sync: a virtual X server, some drivers,
// a remote desktop) it would return at once and the loop would spin a CPU
// core flat out for frames nobody sees. Measured and slept through the
// platform clock, so on the headless backend's virtual clock a test decides
// what each frame took. First thread.
//
// Frames are let through at planned times, frame k of a run at k / refresh
// seconds after the run's first: a sleep that oversleeps makes its frame
// late but not the next, so the rate stays the display's on average.
#pragma once

#include <cstdint>

namespace korvanthe {

// Milliseconds from a run's first frame to its frame `frame` at a display
// refresh rate in Hz, rounded down (a swap that waits for the display is
// never held up further); an unknown rate (0 or less) counts as 60 Hz.
uint32_t plannedFrameMilliseconds(uint32_t frame, int refreshHertz);

// Starts the measurement afresh (a new window).
void restartFramePacing();

// Called right after each buffer swap: waits until the planned time of the
// next frame for the current display. A frame that comes a whole period or
// more after its planned time (a slow frame, a sleep far too long) starts a
// new run from itself: what was lost is not made up by a burst of frames.
void paceFrame();

} // namespace korvanthe
