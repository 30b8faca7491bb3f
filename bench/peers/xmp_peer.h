// libxmp (Debian's libxmp-dev) as a reference player for the speed
// comparisons: one song at a time, 44100 Hz 16-bit signed stereo, linear
// interpolation, looping where the song ends so that it renders as many
// frames as it is asked for. Only built where the library was found
// (KORVANTHE_PEER_XMP).
#pragma once

#include <cstdint>
#include <vector>

namespace korvanthe::bench {

// Loads a song from its file's bytes. False when libxmp refuses it.
bool loadXmpSong(const std::vector<char>& bytes);

// Renders `frames` frames from the song's start, `chunkFrames` at a time
// into chunk (2 x chunkFrames samples), the way a program plays it into
// memory (xmp_play_buffer). False when the player fails.
bool renderXmpSong(int64_t frames, int16_t* chunk, int32_t chunkFrames);

// Frees the loaded song. Safe without one.
void unloadXmpSong();

} // namespace korvanthe::bench
