// The block renderer: makes the output one block at a time by running the
// replayer's ticks between mixer runs, clips each block to 16-bit PCM and
// stamps it with the song position it ends at. Live playback (the streaming
// thread) and offline rendering call the same operations on the same state.
//
// Threads: every operation here runs on the one thread that renders blocks
// at that moment (the first thread while the ring is first filled or while a
// file is rendered, the streaming thread afterwards). Only the stamps may be
// read from another thread, through readStamp (audio/block_stamp.h).
#pragma once

#include <cstdint>

#include "audio/block_stamp.h"
#include "module/module.h"

namespace korvanthe {

// The renderer's buffers and position. Block k of each buffer covers ring
// frames k x blockFrames .. (k + 1) x blockFrames - 1 (audio/output_settings.h).
struct BlockRenderer {
    int16_t* outputRing;      // ringFrames interleaved stereo frames, left first
    int32_t outputRingFrames; // frames outputRing was allocated for
    float* mixBuffer;         // one block: blockFrames stereo float frames; 16-byte aligned;
                              // all zero between blocks
    void* mixAllocation;      // what was allocated for mixBuffer (16 bytes larger)
    BlockStamp* stamps;       // blockCount stamps; stamp k belongs to block k
    int32_t renderIndex;      // block that renderBlock fills next, 0..blockCount - 1
    int32_t tickFrame;        // frame of the current block at which the latest tick began
    int64_t songBlock;        // song blocks rendered or skipped since the song start: the
                              // next one covers song frames songBlock x blockFrames on
    Module* currentModule;    // song being rendered; null when stopped. Not owned
};

extern BlockRenderer blockRenderer;

// Play start: the song start of the song as loaded (order 0, row 0, tempo
// and channels reset, every voice silenced: restartSongAsLoaded in
// audio/replay_state.h), currentModule = module, the play buffers allocated
// zero-filled (outputRing is reused if still allocated from an earlier play
// when large enough for the current geometry; a smaller one, left from
// another rate, is replaced), renderIndex 0 and songBlock 0. Whatever was
// being rendered before is stopped first. Requires configureOutput (a sample rate) first.
// Returns false for a null module or an unconfigured output (changing
// nothing) and for a failed allocation (leaving nothing playing).
bool startBlockRendering(Module* module);

// Fills block renderIndex of the ring and advances renderIndex (wrapping at
// blockCount): runs the module's tickHandler whenever a tick is due, mixes
// the voices up to the next tick or the end of the block, adds each run's
// length to elapsedMs, writes the block's stamp and clips it to PCM.
// Does nothing when no song is being rendered.
//
// Writes stamps[renderIndex] before it returns: a reader of the audible
// stamp must not be pointed at the block being rendered (move stampIndex on
// before the call, not after it).
void renderBlock();

// renderBlock's work for a block of the caller's: the next song block into
// pcm (blockFrames stereo frames) with its stamp, leaving renderIndex alone.
// Does nothing when no song is being rendered.
void renderSongBlockInto(int16_t* pcm, BlockStamp& stamp);

// The next song block as renderBlock would render it, but not heard: the
// ticks run and the voices move on exactly as they would (advanceVoices), and
// elapsedMs grows as it would; nothing is mixed, clipped or stamped. Leaves
// the state renderBlock would leave. Does nothing when no song is being
// rendered.
void skipSongBlock();

// Play stop: releases mixBuffer and the stamps and sets currentModule to
// null. outputRing stays allocated, since a device may still be looping it;
// releaseOutputRing frees it once nothing reads it any more. Safe to call
// when nothing is playing.
void stopBlockRendering();

// Frees outputRing. Call only when no device reads it (after it is reset or
// closed). Safe to call when it is not allocated.
void releaseOutputRing();

// PCM of block `block` of outputRing: blockFrames interleaved stereo frames.
// Null when the ring is not allocated or the block is outside 0..blockCount - 1.
const int16_t* blockPcm(int32_t block);

} // namespace korvanthe
