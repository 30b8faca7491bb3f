// What goes into each block of the output ring, and what the sound in it is.
//
// The renderer makes song blocks: block j of the song covers song frames
// j x blockFrames to (j + 1) x blockFrames - 1 from the song's start, and is
// always made whole (its mixer runs cut at its own edges, as in a render of
// the whole song, which keeps every frame of it exact). Playing from the
// start the ring's blocks are song blocks, one for one, each rendered
// straight into the ring. After a move to any frame, or across the end of an
// A-B loop, the ring's blocks no longer line up with song blocks: their
// frames are copied out of whole song blocks rendered into a block of their
// own. Either way, each ring block notes the song frame it begins with and
// the loop in force, so the song frame of any frame the device plays is known.
//
// The device's blocks are counted from the loop's start in 64 bits (they do
// not wrap); ring block k holds device blocks k, k + blockCount, ...
//
// Threads: the feed runs on the thread that renders blocks; the lookups of
// the heard position (heardSongFrame, songStampOf) may run on any thread.
#pragma once

#include <cstdint>

#include "audio/block_stamp.h"
#include "audio/replay_state.h"
#include "audio/song_map.h"

namespace korvanthe {

// Prepares the feed for the renderer's current song at the current output
// geometry, the output to begin at song frame `firstFrame`; the renderer
// must stand at the start of that frame's song block (moveToSongFrame, or the
// song start for frame 0). No loop. False when the buffers cannot be had.
bool startRingFeed(int64_t firstFrame);

// Releases the feed's buffers.
void stopRingFeed();

// Where the output goes on: the next ring block fed begins with song frame
// `frame`; the renderer must stand at the start of its song block.
void continueRingFeedAt(int64_t frame);

// The song frame the next ring block fed begins with.
int64_t ringFeedNextFrame();

// From now on, each time the output reaches song frame endFrame it goes on at
// startFrame, with the replayer in `startState`: the state at the start of
// startFrame's song block. endFrame > startFrame.
void setRingFeedLoop(int64_t startFrame, int64_t endFrame, const ReplayState& startState);
void clearRingFeedLoop();
// Whether a loop is set, and its frames.
bool ringFeedLooping(int64_t* startFrame = nullptr, int64_t* endFrame = nullptr);

// Fills ring block `deviceBlock` % blockCount with the next blockFrames
// frames of the output, with its stamp: the stamp of the song block that
// holds its last frame. Straight from the renderer (renderBlock) when it
// lines up with a song block.
void feedRingBlock(int64_t deviceBlock);

// The song frame that frame `frameInBlock` of device block `deviceBlock`
// holds, as fed; false when that ring block holds another device block now
// (it was fed anew since, or not yet).
bool songFrameOfDeviceFrame(int64_t deviceBlock, int32_t frameInBlock, int64_t* songFrame);

// The stamp of song block `songBlock`, when it is among those fed lately
// (the last 256 song blocks rendered).
bool songStampOf(int64_t songBlock, BlockStamp* stamp);

// The song frame of the first frame of device block `deviceBlock`, as fed;
// false when that ring block holds another device block.
bool songFrameOfDeviceBlock(int64_t deviceBlock, int64_t* songFrame);

} // namespace korvanthe
