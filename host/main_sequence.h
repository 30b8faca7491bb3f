// The demo's one sequence: builds the demo (effects, window, song, pictures,
// registry, timeline), runs the frame loop that ties the audible song
// position to the pictures, and tears everything down again. The demo runs it
// on the sdl2 backend (win32 on Windows); the capture tool runs it on the
// headless backend and steps time through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "timeline/screen_size.h"

namespace korvanthe {

// The files the demo reads (from the working directory, or where
// host/data_files.h finds them).
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
inline constexpr std::array<PictureFile, 7> PictureFiles{{
    {0, "gridtile.tga", PictureReader::Targa, 256, 256},
    {1, "picture0.raw", PictureReader::RawRGB, 512, 256},
    {2, "picture1.raw", PictureReader::RawRGB, 512, 256},
    {3, "picture2.raw", PictureReader::RawRGB, 512, 512},
    {4, "korvanthe.raw", PictureReader::RawRGB, 512, 256},
    {5, "tallstrip.raw", PictureReader::RawRGB, 256, 512},
    {6, "random.raw", PictureReader::RawRGB, 512, 256},
}};

inline constexpr int DisplayWidth = ScreenWidth;
inline constexpr int DisplayHeight = ScreenHeight;
inline constexpr int DisplayBits = 32;
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
    // Right before the song starts playing (the song and the script are
    // loaded): the moment to move the song and to bring the timeline to
    // where a run from the start would have it.
    std::function<void()> beforePlay;
    // Where the song is heard, for every frame, frame 0 included, in place of
    // the player's audible block (and of frame 0's start at 0:0).
    std::function<void(int32_t& order, int32_t& row)> position;
};

// Where the sequence reads its files from.
struct DataFileLookup {
    // Empty: the working directory only (tests, the web page). The demo
    // gives its executable's folder, whose ../share/korvanthe and the folder
    // itself then serve the files the working directory lacks.
    std::filesystem::path executableFolder;
    // Tell on stderr where the files came from when not the working
    // directory, and which were found nowhere.
    bool report = false;
    // The name that starts each reported line.
    std::string programName = "korvanthe";
    // Non-empty: every file is read from this folder and nowhere else
    // (author mode's show folder).
    std::filesystem::path folder;
};

// The paths of the song, the script and the pictures (in PictureFiles order).
struct DemoFilePaths {
    std::string song = songFileName;
    std::string script = scriptFileName;
    std::array<std::string, PictureFiles.size()> pictures;
    DemoFilePaths();
};

// Looks the demo's files up as host/data_files.h describes, from the
// process's working directory, and reports on stderr if asked.
DemoFilePaths findDemoFiles(const DataFileLookup& lookup);

// Pictures the sequence loads, in table order, into slot 0..6 through
// setPicture. A picture whose buffer cannot be allocated leaves its slot
// empty; the readers leave missing pixels black. True when every file held
// every pixel. First thread, context current.
bool loadPictures(const DemoFilePaths& paths = {});

// Exit statuses of the sequence.
inline constexpr int ExitEnded = 0;     // Escape, the close box or a quit signal
inline constexpr int ExitNoDisplay = 1; // no window or context, at start or on a toggle
inline constexpr int ExitBadStart = 2;  // author mode: a start position the song lacks

// Start-up, frame loop and shutdown, each once; returns the exit status.
// A window that cannot be opened has been reported by the window code
// already; the status then says so too (ExitNoDisplay) rather than 0: a
// safety choice, so that a script or service manager that starts the demo
// sees the failure. A SIGINT or SIGTERM
// (host/quit_request.h) ends it like Escape, also during the second's wait
// before the song. Without a song or without a sound device the demo runs
// silent at position 0:0. An effect that cannot be allocated is left out
// (its script entries then reach nobody). First thread; the only other
// thread is the player's.
int runMainSequence(const MainSequenceHooks& hooks = {}, const DataFileLookup& lookup = {});

// The same sequence in steps, for a host whose frames are driven from
// outside (the browser's animation frames); runMainSequence is exactly
// start, step until false, finish. startMainSequence builds everything and
// draws frame 0; false when the sequence already ended, with its exit status
// in status and everything torn down. Each stepMainSequence is one pass of
// the frame loop (shows the frame before, draws the next); false when the
// loop ends, after which finishMainSequence tears down and gives the status.
bool startMainSequence(int& status, const MainSequenceHooks& hooks = {},
                       const DataFileLookup& lookup = {});
bool stepMainSequence();
int finishMainSequence();

// Frames drawn since startMainSequence, frame 0 included; 0 before it.
int64_t mainSequenceFramesDrawn();

} // namespace korvanthe
