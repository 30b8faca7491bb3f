// The capture tool's command line: korvanthe-capture -o OUT [--fps N] [--seconds S],
// and what OUT names.
#pragma once

#include <string>

#include "audio/song_position.h"

namespace korvanthe {

inline constexpr const char* captureUsageLine =
    "usage: korvanthe-capture -o OUT [--fps N] [--seconds S] [--from POS] [--to POS]\n";

inline constexpr const char* captureHelp =
    "usage: korvanthe-capture -o OUT [--fps N] [--seconds S] [--from POS] [--to POS]\n"
    "Records the demo frame by frame, from the files in the working folder, as it would play.\n"
    "\n"
    "  -o OUT        a .mp4, .mkv or .webm video (through ffmpeg), or a folder of PNG frames\n"
    "  --fps N       frames per second, a whole number from 1 to 240 (default 60)\n"
    "  --seconds S   length in seconds, above 0 and at most 3600 (default: the song once)\n"
    "  --from POS    only the stretch from there: ORDER, ORDER:ROW or a time (1:23.5,\n"
    "                83.5s); each frame is the whole capture's frame at that moment, the\n"
    "                sound the same stretch of the whole render\n"
    "  --to POS      up to there (the same forms); not with --seconds\n"
    "  -h, --help    show this text\n"
    "  --version     show the version\n"
    "\n"
    "OUT is a folder when it ends in '/', is an existing folder, or its last name has no\n"
    "extension; the folder is made and receives frame_000000.png, ... and soundtrack.wav.\n"
    "Otherwise OUT must end in .mp4 or .mkv (H.264 with AAC sound) or .webm (VP9 with Opus);\n"
    "any other name is refused. Without a song the capture lasts 30 s.\n"
    "\n"
    "examples:\n"
    "  korvanthe-capture -o demo.mp4\n"
    "  korvanthe-capture -o frames/ --fps 30 --seconds 10\n";

// What -o names. The rules, in order: a path ending in '/' or naming an
// existing folder is a folder; a name ending in .mp4, .mkv or .webm (any
// case) is a video; a last name without an extension is a folder to make;
// anything else is refused, so that a typo such as "c.avi" does not quietly
// become a folder of frames.
enum class CaptureOutput { refused, frames, mp4, matroska, webm };

CaptureOutput captureOutputKind(const std::string& output);

struct CaptureOptions {
    std::string output;
    CaptureOutput outputKind = CaptureOutput::refused;
    int fps = 60;
    double seconds = 0; // 0: the length of the song (or to --to)
    bool hasFrom = false;
    SongPosition from;
    bool hasTo = false;
    SongPosition to;
    bool help = false;
    bool version = false;
};

// True when the output is a video file rather than a folder of frames.
bool writesVideo(const CaptureOptions& options);

// Fills options from argv. On a bad command line, or an output that is
// neither a video name nor a folder, returns false with a one-line reason
// in error (naming the output as given).
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

} // namespace korvanthe
