// Offline rendering: plays a song through the block renderer as fast as the
// CPU allows, block by block, for tools and tests. It runs the very code the
// live streaming runs (startBlockRendering, renderBlock), so what it gives is
// what a listener hears. It can also tell where the song ends: the first time
// playback would go back to a position it has already played other than
// through a pattern loop (the order wrapping to the restart position, or a
// jump backwards).
//
// One render at a time, on the calling thread; not while a song plays live.
#pragma once

#include <cstdint>

#include "audio/block_stamp.h"
#include "module/module.h"

namespace korvanthe {

struct OfflineBlock {
    const int16_t* pcm; // interleaved stereo frames, left first; valid until the next call
    int32_t frames;     // frames of pcm that belong to the song (< blockFrames only at its end)
    BlockStamp stamp;   // the block's stamp: order, row and elapsedMs after its frames
};

// Fixes the output geometry for sampleRate, silences the voices and starts
// the song from order 0, row 0. With watchSongEnd, renderOfflineBlock stops
// where the song has ended `repeats` times (audio/song_end_watch.h), the
// orders before startOrder counting as played (for a caller that starts the
// song there). Returns false for a null module, a sample rate below 1 or a
// failed allocation.
bool startOfflineRender(Module* module, int32_t sampleRate, bool watchSongEnd, int32_t repeats = 1,
                        int32_t startOrder = 0);

// Renders the next block. Returns false, with nothing rendered, once the
// song has ended (watchSongEnd) or when no render was started. The last block
// of a song holds only the frames before the repeated position, and may hold
// none (then false).
bool renderOfflineBlock(OfflineBlock* block);

// True once the song has ended for the last time (watchSongEnd).
bool offlineSongEnded();

// Releases the render buffers and removes the song-end watch.
void stopOfflineRender();

} // namespace korvanthe
