// The demo's one sequence: builds the demo (effects, window, song, pictures,
// registry, timeline), runs the frame loop that ties the audible song
// position to the pictures, and tears everything down again. The demo runs it
// on the sdl2 backend (win32 on Windows); the capture tool runs it on the
// headless backend and steps time through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "timeline/screen_size.h"

namespace korvanthe {

// The files the demo reads from the working directory.
inline constexpr const char* songFileName = "soundtrack.xm";
inline constexpr const char* scriptFileName = "random.scp";

// How a picture file is read: a Targa file with a header or a headerless raw
// RGB file of fixed size.
enum class PictureReader { Targa, RawRGB };

struct PictureFile {
    int slot; // index into the texture table
    const char* fileName;
    PictureReader reader;
    int width;
    int height;
};

// The pictures of texture slots 0 to 6, in load order; slots 7 to 15 stay empty.
inline constexpr std::array<PictureFile, 7> pictureFiles{{
    {0, "gridtile.tga", PictureReader::Targa, 256, 256},
    {1, "picture0.raw", PictureReader::RawRGB, 512, 256},
    {2, "picture1.raw", PictureReader::RawRGB, 512, 256},
    {3, "picture2.raw", PictureReader::RawRGB, 512, 512},
    {4, "korvanthe.raw", PictureReader::RawRGB, 512, 256},
    {5, "tallstrip.raw", PictureReader::RawRGB, 256, 512},
    {6, "random.raw", PictureReader::RawRGB, 512, 256},
}};

inline constexpr int displayWidth = screenWidth;
inline constexpr int displayHeight = screenHeight;
inline constexpr int displayBits = 32;
inline constexpr const char* displayTitle = "Korvanthe";

// Where a caller that owns time (the capture tool) steps in. Frame 0 is the
// frame drawn right after playback starts (at order 0, row 0); frame k > 0 is
// drawn in the k-th pass of the frame loop. Empty hooks are skipped.
struct MainSequenceHooks {
    // Before frame k's position is asked for (frame 0: before it is drawn):
    // the moment to move the clock and the sound device on to frame k's time.
    std::function<void(int64_t frame)> beforeFrame;
    // After frame k has been drawn into the back buffer, before it is shown.
    std::function<void(int64_t frame)> afterFrame;
};

// Pictures the sequence loads, in table order, into slot 0..6 through
// setPicture. A picture whose buffer cannot be allocated leaves its slot
// empty; the readers leave missing pixels black. True when every file held
// every pixel. First thread, context current.
bool loadPictures();

// Start-up, frame loop and shutdown, each once; returns the exit status,
// which is 0 in every case (a window that cannot be opened has been reported
// by the window code already). Without a song or without a sound device the
// demo runs silent at position 0:0. An effect that cannot be allocated is left
// out (its script entries then reach nobody). Reads its files from the
// working directory. First thread; the only other thread is the player's.
int runMainSequence(const MainSequenceHooks& hooks = {});

} // namespace korvanthe
