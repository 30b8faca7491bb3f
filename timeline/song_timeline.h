// The timeline as the song's own time drives it, for a demo that moves about
// in its song (author mode, the page started at a position).
//
// In the demo's ordinary run an entry fires in the first frame whose heard
// position is its own, and a "resettimer" reads the clock at that frame, so
// what a frame shows depends on when frames happened to be drawn. Here the
// song decides: every song block the song plays, up to the one heard,
// delivers the entries of its position (every position the song passes, none
// missed between two frames), a "resettimer" reads the song time at which
// that block begins to sound, and the effects' clocks read the song time
// heard. So the frame drawn for a song frame is the same however the song got
// there: played from its start, moved to, looped back, at any frame rate.
// Going back replays the song's positions from its start (a few thousand
// blocks: well under a millisecond); the effects keep no other state.
//
// First thread, like the rest of the timeline.
#pragma once

#include <cstdint>
#include <vector>

namespace korvanthe {

// The position one song block carries, as its stamp says.
struct SongBlockPosition {
    uint8_t order;
    uint8_t row;
};

// Starts following a song whose block k carries positions[k] (blocks of
// blockFrames at sampleRate), from its start: restartTimeline, no block
// delivered yet.
void startSongTimeline(std::vector<SongBlockPosition> positions, int32_t blockFrames,
                       int32_t sampleRate);

// Brings the timeline to song frame `heardFrame`: the entries of every song
// block up to and including the one that holds it, in song order. A frame
// before the last block delivered starts again from the song's start. Blocks
// past the positions known (the song played on past its end) deliver the
// heard position given instead.
void followSong(int64_t heardFrame, int32_t heardOrder, int32_t heardRow);

// The effects' clock at song frame `frame`: milliseconds from the song's
// start, rounded down.
uint32_t songTimelineClock(int64_t frame);

// Clears and draws the layers at song frame `heardFrame` (followSong first).
// Context current.
void drawSongFrame(int64_t heardFrame);

// Starts again from the song's start (the entries or the effects changed):
// the next followSong replays every block up to the one it is given.
void restartSongTimeline();

// Song blocks delivered so far (the next block to deliver).
int64_t songTimelineBlocks();

} // namespace korvanthe
