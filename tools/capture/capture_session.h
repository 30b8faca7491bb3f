// One capture: the demo's main sequence on the headless backend, with the
// virtual clock and the virtual sound device stepped frame by frame, so that
// frame k shows the demo at k / fps seconds and sound frame n is what the
// device plays n / 44100 seconds after the same origin (the start of play).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/main_sequence.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/ffmpeg_encoder.h"

namespace korvanthe {

// How long the song at songPath plays before it comes back to a position it
// has played (rendered offline, as fast as possible);
// 0 when it does not load.
double songSeconds(const std::string& songPath);

// The stretch --from and --to ask for, in the whole capture's frames at the
// options' rate: the first frame whose moment lies at or after --from (0
// without it), and the frame count up to the first at or after --to (or up to
// where the whole capture ends: the song's end, or --seconds after the first).
// False, with a one-line reason, for a position the song does not have.
bool findCaptureStretch(const std::string& songPath, const CaptureOptions& options,
                        int64_t& firstFrame, int64_t& frameCount, std::string& reason);

struct CaptureSession {
    CaptureOptions options;
    int64_t firstFrame = 0;        // the whole capture's frame this one begins with
    int64_t frameCount = 0;        // frames to capture
    int64_t framesWritten = 0;     // frames stored or sent to ffmpeg
    int64_t soundFramesPlayed = 0; // sound frames taken from the device so far
    std::vector<int16_t> sound;    // everything played, interleaved stereo
    VideoEncoder encoder;          // for video output
    std::string error;             // the first failure; empty while all is well
    DataFileLookup files;          // where the demo's files are looked for
};

// Runs the main sequence and stores or encodes every frame; the sound is
// left in session.sound. False, with session.error set, when a frame could
// not be drawn or written. The demo's files come from the working directory,
// else from where session.files says.
bool runCapture(CaptureSession& session);

} // namespace korvanthe
