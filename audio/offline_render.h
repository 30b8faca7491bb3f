// Offline rendering: plays a song through the block renderer as fast as the
// CPU allows, block by block, for tools and tests. It runs the very code the
// live streaming runs (startBlockRendering, renderBlock), so what it gives is
// what a listener hears. It can also tell where the song ends: the first time
// playback would go back to a position it has already played other than
// through a pattern loop (the order wrapping to the restart position, or a
// jump backwards). And it can render any stretch of the song, exactly as
// that stretch sounds in the whole render.
//
// One render at a time, on the calling thread; not while a song plays live.
#pragma once

#include <cstdint>
#include <string>

#include "audio/block_stamp.h"
#include "audio/song_map.h"
#include "audio/song_position.h"
#include "module/module.h"

namespace korvanthe {

struct OfflineBlock {
    const int16_t* pcm; // interleaved stereo frames, left first; valid until the next call
    int32_t frames;     // frames of pcm that belong to the render (< blockFrames only at its ends)
    BlockStamp stamp;   // the block's stamp: order, row and elapsedMs after its frames
    int64_t firstFrame; // song frame of pcm's first frame
};

// Fixes the output geometry for sampleRate, silences the voices and starts
// the song from order 0, row 0. With watchSongEnd, renderOfflineBlock stops
// where the song has ended `repeats` times (audio/song_end_watch.h). Returns
// false for a null module, a sample rate below 1 or a failed allocation.
bool startOfflineRender(Module* module, int32_t sampleRate, bool watchSongEnd, int32_t repeats = 1);

// Starts a render of the stretch from `from` to `to`, or without `to` to
// where the song ends `repeats` times (toSongEnd) or on without end (the
// song looping as it does): the frames are those of the whole render from
// the song's start, bit for bit, and so are the stamps. Maps the song first
// (audio/song_map.h: one replay that is not heard), except for a render from
// the song's start without `to` or toSongEnd, which needs nothing of a map
// (offlineSongMap() then stays empty). The first block holds
// the frames from `from` to the end of its song block; the last ends at `to`.
// Returns PositionRefusal::None once started. A refused position (or a `to`
// not after `from`, given as PastSongEnd) starts nothing; so does a failed
// start, which gives None with *started false.
PositionRefusal startOfflineRenderBetween(Module* module, int32_t sampleRate, int32_t repeats,
                                          const SongPosition& from, const SongPosition* to,
                                          bool toSongEnd, bool* started);

// The stretch startOfflineRenderBetween started: its first song frame and
// the frame it ends at (-1: no end).
struct OfflineStretch {
    int64_t firstFrame;
    int64_t endFrame;
};
OfflineStretch offlineStretch();

// Renders the next block. Returns false, with nothing rendered, once the
// song (or the stretch) has ended or when no render was started. The last
// block of a song holds only the frames before the repeated position, and
// may hold none (then false).
bool renderOfflineBlock(OfflineBlock* block);

// renderOfflineBlock into pcm (room for blockFrames stereo frames) instead of
// the ring, which it leaves alone, as it leaves the ring's stamps: for a
// caller that wants the frames in a buffer of its own (the WAV writer's)
// without a copy. block->pcm points into pcm, at the block's first frame of
// the render (past pcm's start only in a stretch's first block).
bool renderOfflineBlockInto(int16_t* pcm, OfflineBlock* block);

// True once the song has ended for the last time (watchSongEnd, or the end
// of a stretch).
bool offlineSongEnded();

// The map of the song that startOfflineRenderBetween made, while the render
// runs and after it refused a position (empty otherwise, and for a render
// that needed none).
const SongMap& offlineSongMap();

// Releases the render buffers and removes the song-end watch.
void stopOfflineRender();

struct SongLength {
    int64_t frames;       // at the rate asked for; the limit when no end was found; -1 when
                          // the render buffers cannot be had
    bool ended;           // false: no end within LongestSongSeconds x repeats
    BlockStamp lastStamp; // the position and time where it ends
};

// How long the song plays, `repeats` times through, by the one rule every
// tool uses: where the offline render finds its end, or LongestSongSeconds
// per time through when it has none. Found by one replay that is not heard;
// the song is left as loaded. Not while the song plays live.
SongLength measureSongLength(Module* module, int32_t sampleRate, int32_t repeats);

} // namespace korvanthe
