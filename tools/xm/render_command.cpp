// korvanthe-xm render FILE -o OUT.wav [--seconds S] [--positions LOG]:
// renders a song through the block renderer, as fast as the CPU allows, into
// a 44100 Hz 16-bit stereo WAV file. Without --seconds it stops where the song
// ends (the first time playback would go back to a position already played,
// other than through a pattern loop), and after 30 minutes at the latest.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/offline_render.h"
#include "tools/xm/commands.h"

namespace korvanthe {

namespace {

constexpr const char* RenderUsage = "render FILE -o OUT.wav [--seconds S] [--positions LOG]";
constexpr int32_t RenderRate = 44100;
constexpr int64_t LongestRenderFrames = int64_t{RenderRate} * 30 * 60;
constexpr int64_t ProgressEveryFrames = int64_t{RenderRate} * 30;
constexpr uint32_t WavHeaderBytes = 44;

struct RenderOptions {
    std::string input;
    std::string output;
    std::string positions;
    double seconds = 0; // 0: until the song ends
};

void putLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The canonical 44-byte header of 16-bit stereo PCM.
void wavHeader(uint8_t (&header)[WavHeaderBytes], uint32_t dataBytes) {
    std::memcpy(header, "RIFF", 4);
    putLittleEndian(header + 4, 36 + dataBytes, 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLittleEndian(header + 16, 16, 4);             // fmt chunk size
    putLittleEndian(header + 20, 1, 2);              // PCM
    putLittleEndian(header + 22, 2, 2);              // channels
    putLittleEndian(header + 24, RenderRate, 4);     // frames per second
    putLittleEndian(header + 28, RenderRate * 4, 4); // bytes per second
    putLittleEndian(header + 32, 4, 2);              // bytes per frame
    putLittleEndian(header + 34, 16, 2);             // bits per sample
    std::memcpy(header + 36, "data", 4);
    putLittleEndian(header + 40, dataBytes, 4);
}

bool writePcm(FILE* file, const int16_t* pcm, int32_t frames) {
    uint8_t bytes[4096];
    const int32_t framesPerChunk = sizeof bytes / 4;
    for (int32_t done = 0; done < frames; done += framesPerChunk) {
        const int32_t count = frames - done < framesPerChunk ? frames - done : framesPerChunk;
        for (int32_t i = 0; i < count * 2; ++i) {
            putLittleEndian(bytes + 2 * i, static_cast<uint16_t>(pcm[2 * done + i]), 2);
        }
        if (std::fwrite(bytes, 4, static_cast<size_t>(count), file) != static_cast<size_t>(count)) {
            return false;
        }
    }
    return true;
}

// Gives 0 and fills options, or the exit code of a usage error.
int parseRenderArguments(const CommandArguments& arguments, RenderOptions& options) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (word == "-o" || word == "--positions" || word == "--seconds") {
            if (!hasValue) {
                return reportUsageError(word + " needs a value", RenderUsage);
            }
            const std::string& value = arguments[++i];
            if (word == "-o") {
                options.output = value;
            } else if (word == "--positions") {
                options.positions = value;
            } else {
                char* end = nullptr;
                errno = 0;
                options.seconds = std::strtod(value.c_str(), &end);
                if (errno != 0 || end == value.c_str() || *end != 0 || !(options.seconds > 0) ||
                    options.seconds > 24 * 3600) {
                    return reportUsageError("--seconds needs a number of seconds above 0, got \"" +
                                                value + "\"",
                                            RenderUsage);
                }
            }
        } else if (!word.empty() && word[0] == '-') {
            return reportUsageError("unknown option \"" + word + "\"", RenderUsage);
        } else if (options.input.empty()) {
            options.input = word;
        } else {
            return reportUsageError("more than one FILE", RenderUsage);
        }
    }
    if (options.input.empty()) {
        return reportUsageError("no FILE given", RenderUsage);
    }
    if (options.output.empty()) {
        return reportUsageError("no output file given (-o OUT.wav)", RenderUsage);
    }
    return 0;
}

// Open output files, closed on every way out.
struct RenderFiles {
    FILE* wav = nullptr;
    FILE* positions = nullptr;
    ~RenderFiles() {
        if (wav != nullptr) {
            std::fclose(wav);
        }
        if (positions != nullptr) {
            std::fclose(positions);
        }
    }
};

// The reason of the last failed file operation.
std::string lastError(const char* fallback) {
    return errno != 0 ? std::strerror(errno) : fallback;
}

std::string minutesAndSeconds(int64_t frames) {
    const int64_t seconds = frames / RenderRate;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

// Renders into the open files; gives the exit code.
int renderSong(Module* song, const RenderOptions& options, RenderFiles& files) {
    const bool untilSongEnd = options.seconds == 0;
    const int64_t frameLimit =
        untilSongEnd ? LongestRenderFrames : std::llround(options.seconds * RenderRate);
    if (!startOfflineRender(song, RenderRate, untilSongEnd)) {
        return reportFileError(options.input, "cannot allocate the render buffers");
    }
    uint8_t header[WavHeaderBytes];
    wavHeader(header, 0);
    errno = 0;
    bool written = std::fwrite(header, 1, sizeof header, files.wav) == sizeof header;

    int64_t frames = 0;
    int64_t nextProgress = ProgressEveryFrames;
    OfflineBlock block{};
    while (written && frames < frameLimit && renderOfflineBlock(&block)) {
        const int32_t count = static_cast<int32_t>(
            frameLimit - frames < block.frames ? frameLimit - frames : block.frames);
        written = writePcm(files.wav, block.pcm, count);
        if (files.positions != nullptr) {
            written = written && std::fprintf(files.positions, "%d %d %d\n", block.stamp.elapsedMs,
                                              block.stamp.order, block.stamp.row) > 0;
        }
        frames += count;
        if (frames >= nextProgress) {
            std::fprintf(stderr, "korvanthe-xm: rendered %s\n", minutesAndSeconds(frames).c_str());
            nextProgress += ProgressEveryFrames;
        }
    }
    const bool ended = offlineSongEnded();
    stopOfflineRender();

    const auto dataBytes = static_cast<uint32_t>(frames * 4);
    wavHeader(header, dataBytes);
    written = written && std::fseek(files.wav, 0, SEEK_SET) == 0 &&
              std::fwrite(header, 1, sizeof header, files.wav) == sizeof header;
    written = written && std::fflush(files.wav) == 0;
    if (!written) {
        return reportFileError(options.output, "cannot write: " + lastError("write failed"));
    }
    if (files.positions != nullptr && std::fflush(files.positions) != 0) {
        return reportFileError(options.positions, "cannot write: " + lastError("write failed"));
    }
    if (untilSongEnd && !ended) {
        std::fprintf(stderr, "korvanthe-xm: %s: no end found; stopped after %s\n",
                     options.input.c_str(), minutesAndSeconds(frames).c_str());
    }
    return 0;
}

} // namespace

int runRenderCommand(const CommandArguments& arguments) {
    RenderOptions options;
    if (int usage = parseRenderArguments(arguments, options); usage != 0) {
        return usage;
    }
    XmLoadReport report;
    std::string reason;
    Module* song = loadSongFile(options.input, report, reason);
    if (song == nullptr) {
        return reportFileError(options.input, reason);
    }
    RenderFiles files;
    errno = 0;
    files.wav = std::fopen(options.output.c_str(), "wb");
    int result = 0;
    if (files.wav == nullptr) {
        result = reportFileError(options.output, "cannot create: " + lastError("open failed"));
    } else if (!options.positions.empty() &&
               (files.positions = std::fopen(options.positions.c_str(), "w")) == nullptr) {
        result = reportFileError(options.positions, "cannot create: " + lastError("open failed"));
    } else {
        result = renderSong(song, options, files);
    }
    freeModule(song);
    return result;
}

} // namespace korvanthe
