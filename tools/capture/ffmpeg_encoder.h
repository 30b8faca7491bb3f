// Video files through an ffmpeg process (H.264 + AAC in MP4 or Matroska,
// VP9 + Opus in WebM): the frames stream into one ffmpeg run as raw RGB, and
// a second run puts the picture and the WAV sound together into the file. Output flags ask for
// bit-exact files, so that one ffmpeg build gives the same bytes for the same capture.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tools/capture/capture_options.h"

namespace korvanthe {

// Whether an executable "ffmpeg" is on the PATH.
bool ffmpegAvailable();

struct VideoEncoder {
    int pid = -1;          // the ffmpeg process encoding the picture; -1 when none
    int pipeFd = -1;       // its standard input
    std::string videoPath; // the picture-only file it writes
};

// Starts ffmpeg encoding raw width x height RGB frames at fps, with the
// picture codec for kind, into the Matroska file videoPath. False, with the
// reason in error, when it cannot be started.
bool startVideoEncoder(VideoEncoder& encoder, CaptureOutput kind, const std::string& videoPath,
                       int width, int height, int fps, std::string& error);

// Sends one frame of words 0x00RRGGBB, row 0 the top. False when ffmpeg no
// longer takes input.
bool sendVideoFrame(VideoEncoder& encoder, std::span<const uint32_t> pixels, std::string& error);

// Closes the input and waits for ffmpeg. True when it finished without error.
bool finishVideoEncoder(VideoEncoder& encoder, std::string& error);

// Puts the picture of videoPath and the sound of wavPath (in the sound codec
// for kind) into outputPath. True when ffmpeg finished without error.
bool muxVideoAndSound(CaptureOutput kind, const std::string& videoPath, const std::string& wavPath,
                      const std::string& outputPath, std::string& error);

} // namespace korvanthe
