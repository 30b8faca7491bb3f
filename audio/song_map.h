// A map of a song as it plays from its start: the first frame of every row
// it reaches, where it ends (the offline render's rule: audio/song_end_watch.h)
// and, when asked for, the replay state every KeyframeBlocks song blocks.
// With those the renderer can be put at any song frame by a short replay that
// nobody hears, in exactly the state the uninterrupted song has there, and a
// position a person names (audio/song_position.h) becomes a frame.
//
// Built by one replay of the song that is not heard (skipSongBlock), on the
// thread that renders blocks, while nothing else renders.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/block_stamp.h"
#include "audio/replay_state.h"
#include "audio/song_position.h"
#include "module/module.h"

namespace korvanthe {

// How long a song that does not end is taken to last, per time through: the
// one limit every tool uses to look for a song's end.
constexpr int32_t LongestSongSeconds = 30 * 60;

// A keyframe every 128 song blocks (about 2.6 s at 44100 Hz): a move then
// replays at most that much, well under a millisecond, while the keyframes of
// a five-minute song take under a megabyte.
constexpr int32_t KeyframeBlocks = 128;

struct SongMap {
    const Module* module;      // the song it maps; null: no map
    int32_t sampleRate;        // the rate it was made at
    int32_t repeats;           // times through the song it covers
    int64_t endFrame;          // frames of the song, every time through; the limit if no end
    bool ended;                // false: no end within LongestSongSeconds x repeats
    BlockStamp endStamp;       // order, row and elapsedMs where it ends
    std::vector<int64_t> rowFrames;     // [order x 256 + row]: first frame, -1 never reached
    std::vector<BlockStamp> blockStamps; // song block by song block up to the end: the stamp
                                         // each carries when played (what is heard in it)
    std::vector<int64_t> rowEntries;    // every frame at which a row begins, ascending
    std::vector<int64_t> orderEntries;  // every frame at which the song enters an order entry
                                        // (the start, the next entry, a jump, a break, the
                                        // wrap), ascending
    std::vector<ReplayState> keyframes; // keyframe k: the state at song block k x KeyframeBlocks
};

// Replays `module`, the block renderer's current song, from its start as
// loaded (restartSongAsLoaded) to its end after `repeats` times through or to
// the limit, and maps it; with keyframes, the states to move by. Requires
// startBlockRendering(module) (or an offline render of it) first. The module's
// own tick handler runs, so a handler that a caller installed (muted channels)
// is part of what the keyframes hold. Leaves the renderer where the replay
// ended: move it (moveToSongFrame) or start again before rendering. False
// when the module is not being rendered (the map is then empty).
bool buildSongMap(SongMap& map, Module* module, int32_t repeats, bool withKeyframes);

// Forgets the map (and frees its memory).
void clearSongMap(SongMap& map);

// Whether the map was made for this module at the current output rate.
bool songMapFits(const SongMap& map, const Module* module, int32_t repeats);

// Puts the renderer at the start of the song block that holds `frame`, in
// the state the uninterrupted song has there: the nearest keyframe at or
// before it, then the blocks between skipped. Gives the frame's offset in
// that block (0..blockFrames - 1), or -1 (changing nothing) when the map has
// no keyframes or the frame lies outside 0..endFrame - 1.
int32_t moveToSongFrame(const SongMap& map, Module& module, int64_t frame);

// Why a position has no frame.
enum class PositionRefusal : int32_t {
    None = 0,
    OrderPastSong,   // the order entry is not in the song's order list
    RowPastPattern,  // the pattern of that order entry has no such row
    RowNeverReached, // playing from its start, the song never reaches that row
    PastSongEnd,     // the time lies at or beyond the song's end
};

// The frame `position` stands for at the map's rate: the first frame of the
// row the first time the song reaches it, or the frame of the time. Refusals
// leave *frame alone.
PositionRefusal songPositionFrame(const SongMap& map, const Module& module,
                                  const SongPosition& position, int64_t* frame);

// What the song has instead, for the tools' one-line refusals: "the song's
// orders are 0 to 7", "order 3 has rows 0 to 63" and the like.
std::string describePositionRefusal(const SongMap& map, const Module& module,
                                    const SongPosition& position, PositionRefusal refusal);

// The stretch of the order entry the song plays at `frame`: from the frame
// it was entered (the latest order entry at or before frame) to the next
// entry (or the song's end). False outside the song.
bool orderStretchAt(const SongMap& map, int64_t frame, int64_t* firstFrame, int64_t* endFrame);

// The first frame of the row the song plays at `frame` (the latest row
// entry at or before it), and of the rows before and after it; -1 where
// there is none (before the first row, after the last).
struct RowNeighbours {
    int64_t previous;
    int64_t current;
    int64_t next;
};
RowNeighbours rowsAround(const SongMap& map, int64_t frame);

// Frames and milliseconds at the map's rate, rounded down.
int64_t framesOfMilliseconds(int64_t milliseconds, int32_t sampleRate);
int64_t millisecondsOfFrames(int64_t frames, int32_t sampleRate);

} // namespace korvanthe
