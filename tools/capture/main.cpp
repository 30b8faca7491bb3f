// korvanthe-capture -o OUT [--fps 60] [--seconds S]: records the demo as it
// would play, frame by frame on a virtual clock, from the files in the
// working directory. OUT ending in .mp4, .mkv or .webm becomes a video
// through ffmpeg; a folder receives numbered PNG frames and soundtrack.wav
// (capture_options.h says which names are which). The same files give the
// same output bytes every run.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "host/main_sequence.h"
#include "platform/executable_folder.h"
#include "platform/headless/egl_window.h"
#include "tools/capture/capture_session.h"
#include "tools/capture/wav_file.h"

namespace {

using namespace korvanthe;

constexpr double SecondsWithoutSong = 30;

int fail(const std::string& message) {
    std::fprintf(stderr, "korvanthe-capture: %s\n", message.c_str());
    return 1;
}

void removeQuietly(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Whether a file can be made at path, tried by making it (and taking it
// away again if it was not there): permission bits alone do not tell, for
// root or on a read-only mount. Checked before ffmpeg starts, so that the
// reason names the person's path, not an intermediate file's.
bool canWriteFile(const std::string& path, std::string& error) {
    std::error_code ignored;
    const bool existed = std::filesystem::exists(path, ignored);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::string("cannot write there: ") + std::strerror(errno);
        return false;
    }
    close(fd);
    if (!existed) {
        removeQuietly(path);
    }
    return true;
}

// Picture first, then the sound muxed in; the intermediate files, beside the
// output, go away either way. Every failure is told with the output's name.
int captureVideo(CaptureSession& session) {
    const std::string& output = session.options.output;
    const CaptureOutput kind = session.options.outputKind;
    const std::string picturePath = output + ".picture.mkv";
    const std::string soundPath = output + ".sound.wav";
    std::string error;
    if (!startVideoEncoder(session.encoder, kind, picturePath, HeadlessWidth, HeadlessHeight,
                           session.options.fps, error)) {
        return fail(output + ": " + error);
    }
    const bool captured = runCapture(session);
    const bool encoded = finishVideoEncoder(session.encoder, error);
    bool written = false;
    if (captured && encoded) {
        written = writeWav(soundPath, session.sound, error);
        if (!written) {
            error = "cannot write its sound beside it: " + error;
        } else {
            written = muxVideoAndSound(kind, picturePath, soundPath, output, error);
        }
    }
    removeQuietly(picturePath);
    removeQuietly(soundPath);
    // An ffmpeg that failed is the cause of a frame it did not take.
    if (!encoded) {
        return fail(output + ": " + error);
    }
    if (!captured) {
        return fail(output + ": " + session.error);
    }
    if (!written) {
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

} // namespace

int main(int argc, char** argv) {
    CaptureSession session;
    std::string error;
    if (!parseCaptureOptions(argc, argv, session.options, error)) {
        std::fprintf(stderr, "korvanthe-capture: %s\n%s", error.c_str(), captureUsageLine);
        return 2;
    }
    if (session.options.help) {
        std::fputs(captureHelp, stdout);
        return 0;
    }
    if (session.options.version) {
        std::puts("korvanthe-capture " KORVANTHE_VERSION);
        return 0;
    }
    if (writesVideo(session.options)) {
        if (!canWriteFile(session.options.output, error)) {
            return fail(session.options.output + ": " + error);
        }
        if (!ffmpegAvailable()) {
            return fail(session.options.output +
                        ": ffmpeg not found on the PATH (it writes the video files; install "
                        "ffmpeg, or give a folder for PNG frames)");
        }
    }
    // Found as the demo finds them: an installed capture tool reads the
    // installed song and pictures. Where they came from, and which files are
    // missing (silence, black pixels), is told once, here; the main
    // sequence's own lookup of the same files stays quiet.
    session.files.executableFolder = platformExecutableFolder();
    session.files.programName = "korvanthe-capture";
    DataFileLookup reported = session.files;
    reported.report = true;
    const DemoFilePaths paths = findDemoFiles(reported);
    // A failing ffmpeg must show as a failed write, not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    double seconds = session.options.seconds;
    if (session.options.hasFrom || session.options.hasTo) {
        if (!findCaptureStretch(paths.song, session.options, session.firstFrame,
                                session.frameCount, error)) {
            std::fprintf(stderr, "korvanthe-capture: %s: %s\n", paths.song.c_str(),
                         error.c_str());
            return 2;
        }
    } else if (seconds <= 0) {
        seconds = songSeconds(paths.song);
        if (seconds <= 0) {
            std::fprintf(stderr, "korvanthe-capture: %s does not load; capturing %.0f s\n",
                         songFileName, SecondsWithoutSong);
            seconds = SecondsWithoutSong;
        }
    }
    if (!session.options.hasFrom && !session.options.hasTo) {
        session.frameCount = std::max<int64_t>(1, std::llround(seconds * session.options.fps));
    }
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
