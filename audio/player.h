// The player as the demo sees it: load one song, play it, ask which order and
// row the listener hears now, stop and release everything.
//
// The ring is rendered about two seconds ahead of the loudspeaker, so the
// replayer's own position runs far ahead of the sound. Every block carries a
// stamp of the position it ends at, and the queries read the stamp of the
// block the device is playing now. All operations: first thread.
#pragma once

#include <cstdint>

#include "audio/block_stamp.h"
#include "audio/block_streaming.h"
#include "audio/song_map.h"
#include "audio/song_position.h"
#include "module/module.h"

namespace korvanthe {

// Registers the standard file callbacks, opens the device at 44100 Hz and
// loads the XM file at path. A song loaded earlier is freed first. Gives the
// song, or null when it cannot be loaded; a device that fails to open is not
// reported here (the song loads all the same, and playerPlay refuses).
Module* playerLoad(const char* path);

// The song of the last playerLoad; null before one, after a failed one and
// after playerStop.
Module* loadedModule();

// Plays the loaded song from its beginning (renders the whole ring first).
// False when nothing is loaded or no device is open.
bool playerPlay();

// Stops playback, frees the loaded song and closes the device. Safe without
// a loaded song.
void playerStop();

// The order and row heard now; 0 before playerPlay and after playerStop.
int32_t playerCurrentOrder();
int32_t playerCurrentRow();

// The stamp of the block the device is playing: order, row and song time
// heard now. All zero when module is null or nothing plays.
BlockStamp audibleStamp(Module* module);

// Fields of audibleStamp.
int32_t audibleOrder(Module* module);
int32_t audibleRow(Module* module);

// Moving in the loaded song, exactly (audio/block_streaming.h): each maps
// the song first when it has no map yet (one replay that is not heard, a few
// tens of milliseconds for a long song), once. Positions the song does not
// have are refused with the reason, changing nothing (also when nothing is
// loaded: OrderPastSong).

// Moves playback to `position`; while stopped, the next playerPlay begins
// there.
PositionRefusal playerSeek(const SongPosition& position);

// Loops the song from `from` to `to` while it plays (to after from).
PositionRefusal playerLoop(const SongPosition& from, const SongPosition& to);
void playerStopLooping();

// Whether a loop is in force, and its frames.
bool playerLooping(int64_t* from = nullptr, int64_t* to = nullptr);

// Holds the sound and the position (true) or lets them go on (false).
void playerPause(bool paused);
bool playerPaused();

// The song frame heard now, with its song block's stamp (heardPosition).
HeardPosition playerHeardPosition();

// The loaded song's map (null before the first move or when nothing is
// loaded); its endFrame is the song's length at 44100 Hz.
const SongMap* playerSongMap();

} // namespace korvanthe
