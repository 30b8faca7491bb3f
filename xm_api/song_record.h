// What the C interface keeps of its one live song, shared by its files.
// The player holds one song at a time in static storage, so this is one
// record too; a korvanthe_xm_song pointer is its address.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/block_stamp.h"
#include "audio/song_position.h"
#include "include/korvanthe/xm.h"
#include "module/module.h"
#include "module/xm_loader.h"

struct korvanthe_xm_song {
    enum class State : uint8_t { Idle, Rendering, Playing };

    korvanthe::Module* module; // the loaded song; null: no song is live
    korvanthe::XmLoadReport report;
    State state;
    uint32_t silenced; // bit i: channel i + 1 does not sound

    // The duration at measuredRate (0: none measured yet).
    int32_t measuredRate;
    int64_t measuredFrames;
    bool measuredEnded;

    // Playback: the rate of the last play (0: none yet) and a start chosen
    // while stopped.
    int32_t playRate;
    bool hasStart;
    korvanthe::SongPosition start;

    // Render: the frames of the block being handed out, which a caller's
    // call may end inside.
    std::vector<int16_t> block;
    const int16_t* blockFrames; // next frame of the block to hand out
    int32_t blockFramesLeft;
    korvanthe::BlockStamp blockStamp;
    int64_t blockEndFrame; // song frame after the block's frames
    int64_t renderEndFrame; // -1: no end
    bool renderEnded;
};

namespace korvanthe::xmapi {

extern korvanthe_xm_song liveSong;

// Whether song is the live song (a stale or foreign pointer is not).
inline bool isLive(const korvanthe_xm_song* song) {
    return song == &liveSong && liveSong.module != nullptr;
}

inline bool rateFits(int32_t sampleRate) {
    return sampleRate >= 8000 && sampleRate <= 192000;
}

// A place of the interface as the player's position; false for a kind or
// values out of range.
bool takePlace(const korvanthe_xm_place& place, SongPosition& position);

// The interface's code for a refused position.
int refusalCode(PositionRefusal refusal);

// Forgets the measured duration when it no longer holds, and records one.
void recordDuration(int32_t sampleRate, int64_t frames, bool ended);

// Ends a render (its buffers and the silencing), leaving the song Idle.
void endRender();

// Ends playback and closes the device, leaving the song Idle.
void endPlayback();

} // namespace korvanthe::xmapi
