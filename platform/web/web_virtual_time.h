// Time set by the page instead of read from the browser, for the frame by
// frame mode that draws the same frames as the native capture tool: while
// set, the clock reads the set milliseconds and the sound output reports the
// set number of frames as heard (and copies nothing out: the song does not
// sound in this mode). First thread.
#pragma once

#include <cstdint>

namespace korvanthe {

void setWebVirtualTime(uint32_t milliseconds, uint64_t heardFrames);

// Back to the browser's clock and the sound actually played.
void clearWebVirtualTime();

// Whether setWebVirtualTime is in force, and its values.
bool webVirtualTimeActive();
uint32_t webVirtualMilliseconds();
uint64_t webVirtualHeardFrames();

} // namespace korvanthe
