// Fires the timeline entries of the audible song position and draws the frame.
#pragma once

#include <cstdint>

namespace korvanthe {

// Delivers every not yet fired entry for exactly (order, row), in file order:
// to each registered effect of that name, in slot order, the generic action
// ("start", "stop", "layer", "resettimer" with the clock now) and then
// handleEvent, whatever the command. Each such entry is marked fired, even
// when no effect has its name. No GL. First thread.
void deliverScriptEntries(int32_t order, int32_t row);

// deliverScriptEntries, then drawLayers. Called with (0, 0) right after
// playback starts and then once per frame with the audible position.
// First thread, context current.
void updateFrame(int32_t order, int32_t row);

} // namespace korvanthe
