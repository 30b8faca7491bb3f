// korvanthe-capture -o OUT [--fps 60] [--seconds S]: records the demo as it
// would play, frame by frame on a virtual clock, from the files in the
// working directory. OUT ending in .mp4 becomes an H.264 + AAC video through
// ffmpeg; any other OUT is a folder of numbered PNG frames and soundtrack.wav.
// The same files give the same output bytes every run.
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "host/main_sequence.h"
#include "platform/headless/egl_window.h"
#include "tools/capture/capture_session.h"
#include "tools/capture/wav_file.h"

namespace {

using namespace korvanthe;

constexpr double secondsWithoutSong = 30;

int fail(const std::string& message) {
    std::fprintf(stderr, "korvanthe-capture: %s\n", message.c_str());
    return 1;
}

void removeQuietly(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Picture first, then the sound muxed in; the intermediate files go away
// either way.
int captureVideo(CaptureSession& session) {
    const std::string& output = session.options.output;
    const std::string picturePath = output + ".picture.mp4";
    const std::string soundPath = output + ".sound.wav";
    std::string error;
    if (!startVideoEncoder(session.encoder, picturePath, headlessWidth, headlessHeight,
                           session.options.fps, error)) {
        return fail(output + ": " + error);
    }
    const bool captured = runCapture(session);
    const bool encoded = finishVideoEncoder(session.encoder, error);
    bool written = false;
    if (captured && encoded) {
        written = writeWav(soundPath, session.sound, error);
        if (!written) {
            error = soundPath + ": " + error;
        } else {
            written = muxVideoAndSound(picturePath, soundPath, output, error);
        }
    }
    removeQuietly(picturePath);
    removeQuietly(soundPath);
    if (!captured) {
        return fail(output + ": " + session.error);
    }
    if (!encoded || !written) {
        return fail(output + ": " + error);
    }
    return 0;
}

int captureFrames(CaptureSession& session) {
    const std::string& output = session.options.output;
    std::error_code failure;
    std::filesystem::create_directories(output, failure);
    if (failure || !std::filesystem::is_directory(output)) {
        return fail(output + ": cannot make the folder" +
                    (failure ? ": " + failure.message() : ""));
    }
    if (!runCapture(session)) {
        return fail(session.error);
    }
    const std::string soundPath = output + "/soundtrack.wav";
    std::string error;
    if (!writeWav(soundPath, session.sound, error)) {
        return fail(soundPath + ": " + error);
    }
    return 0;
}

// The demo reads missing pictures as black without a word; a capture taken
// in the wrong folder should say so.
void warnAboutMissingFiles() {
    if (!std::filesystem::is_regular_file(songFileName)) {
        std::fprintf(stderr, "korvanthe-capture: %s: missing; silent, at position 0:0\n",
                     songFileName);
    }
    for (const PictureFile& picture : pictureFiles) {
        if (!std::filesystem::is_regular_file(picture.fileName)) {
            std::fprintf(stderr, "korvanthe-capture: %s: missing; its pixels stay black\n",
                         picture.fileName);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    CaptureSession session;
    std::string error;
    if (!parseCaptureOptions(argc, argv, session.options, error)) {
        std::fprintf(stderr, "korvanthe-capture: %s\n%s", error.c_str(), captureUsage);
        return 2;
    }
    if (session.options.help) {
        std::fputs(captureUsage, stdout);
        return 0;
    }
    if (writesVideo(session.options) && !ffmpegAvailable()) {
        return fail(session.options.output +
                    ": ffmpeg not found on the PATH (it writes .mp4 files; install ffmpeg, or give "
                    "a folder for PNG frames)");
    }
    warnAboutMissingFiles();
    // A failing ffmpeg must show as a failed write, not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    double seconds = session.options.seconds;
    if (seconds <= 0) {
        seconds = songSeconds();
        if (seconds <= 0) {
            std::fprintf(stderr, "korvanthe-capture: %s does not load; capturing %.0f s\n",
                         songFileName, secondsWithoutSong);
            seconds = secondsWithoutSong;
        }
    }
    session.frameCount = std::max<int64_t>(1, std::llround(seconds * session.options.fps));
    std::fprintf(stderr, "korvanthe-capture: %lld frames at %d fps (%.2f s) into %s\n",
                 static_cast<long long>(session.frameCount), session.options.fps,
                 static_cast<double>(session.frameCount) / session.options.fps,
                 session.options.output.c_str());

    const int status =
        writesVideo(session.options) ? captureVideo(session) : captureFrames(session);
    if (status == 0) {
        std::fprintf(stderr, "korvanthe-capture: wrote %lld frames and %lld sound frames\n",
                     static_cast<long long>(session.framesWritten),
                     static_cast<long long>(session.soundFramesPlayed));
    }
    return status;
}
