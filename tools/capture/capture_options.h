// The capture tool's command line: korvanthe-capture -o OUT [--fps N] [--seconds S].
#pragma once

#include <string>

namespace korvanthe {

inline constexpr const char* captureUsage =
    "usage: korvanthe-capture -o OUT [--fps 60] [--seconds S]\n"
    "  OUT ending in .mp4: H.264 video with AAC sound through ffmpeg;\n"
    "  otherwise a folder that receives frame_000000.png ... and "
    "soundtrack.wav.\n"
    "  Without --seconds the capture lasts as long as the song plays "
    "once (30 s without a song).\n";

struct CaptureOptions {
    std::string output;
    int fps = 60;
    double seconds = 0; // 0: the length of the song
    bool help = false;
};

// True when the output is a video file rather than a folder of frames.
bool writesVideo(const CaptureOptions& options);

// Fills options from argv. On a bad command line returns false with a
// one-line reason in error.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

} // namespace korvanthe
