// Keeps the frame loop from running faster than the display can show frames.
// The loop draws as fast as the buffer swap lets it; where the swap does not
// wait for the display (no vertical sync: a virtual X server, some drivers,
// a remote desktop) it would return at once and the loop would spin a CPU
// core flat out for frames nobody sees. Measured and slept through the
// platform clock, so on the headless backend's virtual clock a test decides
// what each frame took. First thread.
#pragma once

#include <cstdint>

namespace korvanthe {

// The shortest time between two shown frames at a display refresh rate in Hz;
// an unknown rate (0 or less) counts as 60 Hz.
uint32_t framePeriodMilliseconds(int refreshHertz);

// How long to wait after a swap that came `sinceLastFrame` milliseconds after
// the frame before, so that frames come no faster than one per period. A swap
// that waited for the display comes a full period later and waits no more.
uint32_t frameWaitMilliseconds(uint32_t sinceLastFrame, uint32_t period);

// Starts the measurement afresh (a new window).
void restartFramePacing();

// Called right after each buffer swap: waits as long as frameWaitMilliseconds
// says for the current display.
void paceFrame();

} // namespace korvanthe
