#include "tools/capture/ffmpeg_encoder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace korvanthe {

namespace {

// Arguments common to both runs: quiet but for errors, no questions, and
// no encoder or muxer version strings in the output.
const std::vector<std::string> quietArguments = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
const std::vector<std::string> bitExactArguments = {"-fflags", "+bitexact", "-flags", "+bitexact"};

// Runs ffmpeg with arguments; with inputFd >= 0 that becomes its standard
// input. Gives the process id, or -1 with the reason in error.
int spawnFfmpeg(const std::vector<std::string>& arguments, int inputFd, std::string& error) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
    }
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        error = std::string("cannot run ffmpeg: ") + std::strerror(result);
        return -1;
    }
    return pid;
}

bool waitForFfmpeg(int pid, std::string& error) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = std::string("lost the ffmpeg process: ") + std::strerror(errno);
            return false;
        }
    }
    if (WIFSIGNALED(status)) {
        error = "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "ffmpeg failed with exit status " + std::to_string(WEXITSTATUS(status)) +
                " (its message is above)";
        return false;
    }
    return true;
}

} // namespace

bool ffmpegAvailable() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/ffmpeg";
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool startVideoEncoder(VideoEncoder& encoder, CaptureOutput kind, const std::string& videoPath,
                       int width, int height, int fps, std::string& error) {
    // Neither end may leak into ffmpeg beyond its standard input, or its
    // input never ends.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("no pipe to ffmpeg: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> arguments = quietArguments;
    const std::vector<std::string> input = {
        "-f",       "rawvideo",
        "-pix_fmt", "rgb24",
        "-s",       std::to_string(width) + "x" + std::to_string(height),
        "-r",       std::to_string(fps),
        "-i",       "pipe:0"};
    // WebM holds only VP8/VP9 and Vorbis/Opus; MP4 and Matroska get H.264.
    // Constant quality in both, at about the same look.
    const std::vector<std::string> h264 = {"-c:v", "libx264", "-preset", "medium", "-crf", "18"};
    const std::vector<std::string> vp9 = {"-c:v",      "libvpx-vp9", "-crf",      "24",
                                          "-b:v",      "0",          "-deadline", "good",
                                          "-cpu-used", "4",          "-row-mt",   "1"};
    const std::vector<std::string>& codec = kind == CaptureOutput::webm ? vp9 : h264;
    arguments.insert(arguments.end(), input.begin(), input.end());
    arguments.insert(arguments.end(), bitExactArguments.begin(), bitExactArguments.end());
    arguments.push_back("-an");
    arguments.insert(arguments.end(), codec.begin(), codec.end());
    arguments.insert(arguments.end(), {"-pix_fmt", "yuv420p", "-f", "matroska", videoPath});
    const int pid = spawnFfmpeg(arguments, fds[0], error);
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        return false;
    }
    encoder.pid = pid;
    encoder.pipeFd = fds[1];
    encoder.videoPath = videoPath;
    return true;
}

bool sendVideoFrame(VideoEncoder& encoder, std::span<const uint32_t> pixels, std::string& error) {
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[i * 3 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
    }
    size_t sent = 0;
    while (sent < rgb.size()) {
        const ssize_t written = write(encoder.pipeFd, rgb.data() + sent, rgb.size() - sent);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // A closed pipe means ffmpeg has gone; why is its exit status's to tell.
            error = errno == EPIPE
                        ? std::string("ffmpeg stopped taking frames")
                        : std::string("cannot send frames to ffmpeg: ") + std::strerror(errno);
            return false;
        }
        sent += static_cast<size_t>(written);
    }
    return true;
}

bool finishVideoEncoder(VideoEncoder& encoder, std::string& error) {
    if (encoder.pipeFd >= 0) {
        close(encoder.pipeFd);
        encoder.pipeFd = -1;
    }
    if (encoder.pid < 0) {
        return true;
    }
    const int pid = encoder.pid;
    encoder.pid = -1;
    return waitForFfmpeg(pid, error);
}

bool muxVideoAndSound(CaptureOutput kind, const std::string& videoPath, const std::string& wavPath,
                      const std::string& outputPath, std::string& error) {
    std::vector<std::string> arguments = quietArguments;
    const std::vector<std::string> inputs = {"-i",  videoPath, "-i",  wavPath, "-map",
                                             "0:v", "-map",    "1:a", "-c:v",  "copy"};
    // Opus runs at 48 kHz: ffmpeg resamples the 44.1 kHz sound for it.
    const std::vector<std::string> sound =
        kind == CaptureOutput::webm ? std::vector<std::string>{"-c:a", "libopus", "-b:a", "160k"}
                                    : std::vector<std::string>{"-c:a", "aac", "-b:a", "192k"};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    arguments.insert(arguments.end(), sound.begin(), sound.end());
    arguments.insert(arguments.end(), bitExactArguments.begin(), bitExactArguments.end());
    arguments.push_back(outputPath);
    const int pid = spawnFfmpeg(arguments, -1, error);
    return pid >= 0 && waitForFfmpeg(pid, error);
}

} // namespace korvanthe
