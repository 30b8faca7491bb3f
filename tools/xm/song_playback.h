// Plays a song the way the playback options ask, around an unchanged player:
// the replayer and the mixer run exactly as for the demo. The options act
// from outside, through the module's tick handler (the start order is set
// before the first tick; muted channels' voices get zero gains after every
// tick), and the offline render's song-end watch with the repeats and the
// start order (audio/song_end_watch.h).
//
// One song at a time; rendering thread only, like the renderer itself.
#pragma once

#include <cstdint>
#include <string>

#include "audio/offline_render.h"
#include "module/module.h"
#include "tools/xm/playback_options.h"

namespace korvanthe {

// Renders at most this long per time through the song when looking for its
// end: a song whose end is not found plays on for ever.
constexpr int32_t LongestSongSeconds = 30 * 60;

// The frames a render that looks for the song's end may give at most.
int64_t longestSongFrames(const PlaybackOptions& options);

// Starts an offline render with the options. With watchSongEnd the render
// stops where the song has ended options.repeats times; each time but the
// last it plays on as the replayer does (the order wrapping to the restart
// position, or the jump taken). With a start order, order entries before it
// count as played, so going back to one of them ends the song too. False
// for a null module or a failed allocation.
bool startSongRender(Module* song, const PlaybackOptions& options, bool watchSongEnd);

// The next block, as renderOfflineBlock gives it; the block in which the
// song ends for the last time is cut where the repeated position begins.
// False once the song has ended.
bool renderSongBlock(OfflineBlock* block);

// Ends the render and gives the module its own tick handler back.
void stopSongRender();

struct SongLength {
    int64_t frames;       // at options.sampleRate; longestSongFrames when no end was found
    bool ended;           // false: no end within longestSongFrames
    BlockStamp lastStamp; // the stamp at the end: last order and row, and elapsedMs
};

// The length of the song as renderSongBlock plays it, found by rendering it.
// frames is -1 when the render buffers cannot be had.
SongLength measureSong(Module* song, const PlaybackOptions& options);

// measureSong on a copy of the song loaded from path for the purpose. A
// render changes the song it plays (a set-finetune effect writes into the
// sample), so the length is taken from a copy: the song that then plays
// starts as loaded. False, with the reason, when the file cannot be loaded
// again or the render buffers cannot be had.
bool measureSongFile(const std::string& path, const PlaybackOptions& options, SongLength& length,
                     std::string& reason);

// For live playback: the start order and the muted channels through the
// tick handler (before playModule), and the module's own handler back
// (after stopModule).
void hookLivePlayback(Module* song, const PlaybackOptions& options);
void unhookLivePlayback(Module* song);

} // namespace korvanthe
