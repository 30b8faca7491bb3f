// Plays a song the way the playback options ask, around an unchanged player:
// the replayer and the mixer run exactly as for the demo. Muted channels act
// from outside, through the module's tick handler (their voices get zero
// gains after every tick); a start and an end are exact stretches of the
// whole song (audio/offline_render.h, audio/song_map.h).
//
// One song at a time; rendering thread only, like the renderer itself.
#pragma once

#include <cstdint>
#include <string>

#include "audio/offline_render.h"
#include "module/module.h"
#include "tools/xm/playback_options.h"

namespace korvanthe {

// Starts an offline render with the options: from the start position (or the
// song's start) to the end position, or to where the song has ended
// options.repeats times (untilSongEnd), or on without end. False with a
// one-line reason, and the exit code (ExitUsageError for a position the
// song does not have, ExitFileError when the buffers cannot be had).
bool startSongRender(Module* song, const PlaybackOptions& options, bool untilSongEnd,
                     std::string& reason, int& exitCode);

// The next block into pcm (room for blockFrames frames), as
// renderOfflineBlockInto gives it. False once the stretch has ended.
bool renderSongBlockIntoBuffer(int16_t* pcm, OfflineBlock* block);

// Ends the render and gives the module its own tick handler back.
void stopSongRender();

// The length of the song, options.repeats times through, by the rule every
// tool uses (measureSongLength); frames is -1 when the buffers cannot be had.
SongLength measureSong(Module* song, const PlaybackOptions& options);

// For live playback: the muted channels through the tick handler (before
// playModule), and the module's own handler back (after stopModule).
void hookLivePlayback(Module* song, const PlaybackOptions& options);
void unhookLivePlayback(Module* song);

} // namespace korvanthe
