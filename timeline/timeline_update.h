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

// deliverScriptEntries with `now` (platformMilliseconds units) as the clock a
// "resettimer" reads, for a timeline that runs on the song's time rather
// than the platform's clock (timeline/song_timeline.h). First thread.
void deliverScriptEntriesAt(int32_t order, int32_t row, uint32_t now);

// Puts the effects and the entries back to how the demo has them before its
// first frame: every registered effect inactive, on layer 0, with elapsed and
// texture 0 and its reset run, every start time 0 and no entry fired. No GL.
// First thread.
void restartTimeline();

// deliverScriptEntries, then drawLayers. Called with (0, 0) right after
// playback starts and then once per frame with the audible position.
// First thread, context current.
void updateFrame(int32_t order, int32_t row);

} // namespace korvanthe
