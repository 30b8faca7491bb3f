// korvanthe-xm render FILE... -o OUT: renders songs through the block
// renderer, as fast as the CPU allows, into 16-bit stereo WAV files. Without
// --seconds or --end a song stops where it ends (the first time playback
// would go back to a position already played, other than through a pattern
// loop), and after 30 minutes at the latest.
//
// The song is played twice: once unheard, to map it (where it ends, where
// each row begins), then into the file; a render from the start for a
// number of --seconds needs no map and plays once. The header so goes out
// first with its final sizes, and the output needs no seek: standard output
// and pipes take it like a file. Both passes run the same replayer, so they
// agree to the frame; a --start is that frame of the whole render, bit for
// bit. Each block is rendered into the WAV writer's buffer in place.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "audio/output_settings.h"
#include "tools/wav/wav_writer.h"
#include "tools/xm/commands.h"
#include "tools/xm/playback_options.h"
#include "tools/xm/song_playback.h"

namespace korvanthe {

namespace {

namespace fs = std::filesystem;

constexpr int32_t ProgressEverySeconds = 30;
constexpr double MostSeconds = 24 * 3600;

struct RenderOptions {
    std::vector<std::string> inputs;
    std::string output; // a file, "-" for standard output, or a folder
    std::string positions;
    double seconds = 0; // 0: until the song ends
    PlaybackOptions playback;
};

int usageError(const std::string& message) {
    return reportUsageError(message, renderCommand);
}

// Gives 0 and fills options, or the exit code of a usage error.
int parseRenderArguments(const CommandArguments& arguments, RenderOptions& options) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (const int taken = takePlaybackOption(arguments, i, options.playback, renderCommand);
            taken >= 0) {
            if (taken != 0) {
                return taken;
            }
            continue;
        }
        if (word == "-o" || word == "--output" || word == "--positions" || word == "--seconds" ||
            word == "--end") {
            if (i + 1 >= arguments.size()) {
                return usageError(word + " needs a value");
            }
            const std::string& value = arguments[++i];
            if (word == "--positions") {
                options.positions = value;
            } else if (word == "--end") {
                if (const int usage =
                        takePositionValue(word, value, options.playback.end, renderCommand);
                    usage != 0) {
                    return usage;
                }
                options.playback.hasEnd = true;
            } else if (word == "--seconds") {
                char* end = nullptr;
                errno = 0;
                options.seconds = std::strtod(value.c_str(), &end);
                if (errno != 0 || end == value.c_str() || *end != 0 || !(options.seconds > 0) ||
                    options.seconds > MostSeconds) {
                    return usageError("--seconds takes a number of seconds above 0, up to 86400, "
                                      "not \"" +
                                      value + "\"");
                }
            } else {
                options.output = value;
            }
        } else if (word.size() > 1 && word[0] == '-') {
            return usageError("unknown option \"" + word + "\"");
        } else {
            options.inputs.push_back(word);
        }
    }
    if (options.inputs.empty()) {
        return usageError("no FILE given");
    }
    if (options.output.empty()) {
        return usageError("no output given (-o OUT.wav, - for standard output)");
    }
    if (options.seconds > 0 && options.playback.repeats > 1) {
        return usageError("--seconds and --repeat cannot be used together");
    }
    if (options.seconds > 0 && options.playback.hasEnd) {
        return usageError("--seconds and --end cannot be used together");
    }
    if (options.inputs.size() > 1) {
        if (options.output == "-") {
            return usageError("several files do not fit on standard output; -o names a folder");
        }
        if (!options.positions.empty()) {
            return usageError("--positions takes a single FILE");
        }
    }
    return 0;
}

// Open output files, closed on every way out.
struct PositionsLog {
    FILE* file = nullptr;
    ~PositionsLog() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

std::string lastError(const char* fallback) {
    return errno != 0 ? std::strerror(errno) : fallback;
}

// Renders one loaded song into output; gives the exit code.
int renderSong(Module* song, const std::string& input, const std::string& output,
               const RenderOptions& options) {
    const PlaybackOptions& playback = options.playback;
    const int32_t rate = playback.sampleRate;
    const bool untilSongEnd = options.seconds == 0;
    // Started first: a position the song does not have is refused before any
    // file is made.
    std::string reason;
    int refused = 0;
    if (!startSongRender(song, playback, untilSongEnd, reason, refused)) {
        reportFileError(input, reason);
        return refused;
    }
    const OfflineStretch stretch = offlineStretch();
    const bool ended = playback.hasEnd || !untilSongEnd || offlineSongMap().ended;
    const int64_t frames = stretch.endFrame >= 0 ? stretch.endFrame - stretch.firstFrame
                                                 : std::llround(options.seconds * rate);
    if (!wavFramesFit(static_cast<uint64_t>(frames))) {
        stopSongRender();
        return reportFileError(output, wavTooLongReason(rate));
    }

    PositionsLog log;
    errno = 0;
    if (!options.positions.empty() &&
        (log.file = std::fopen(options.positions.c_str(), "w")) == nullptr) {
        stopSongRender();
        return reportFileError(options.positions, "cannot create: " + lastError("open failed"));
    }
    WavWriter wav;
    if (!wav.open(output, rate, static_cast<uint64_t>(frames))) {
        stopSongRender();
        return reportFileError(output == "-" ? "standard output" : output, wav.error());
    }
    const bool showProgress = isTerminal(stderr);
    const int64_t progressFrames = int64_t{rate} * ProgressEverySeconds;
    int64_t done = 0;
    int64_t nextProgress = progressFrames;
    bool written = true;
    bool logged = true;
    OfflineBlock block{};
    // Each block is rendered straight into the writer's buffer, uncopied.
    const auto blockFrames = static_cast<uint64_t>(outputSettings.blockFrames);
    while (written && done < frames) {
        int16_t* room = wav.reserve(blockFrames);
        if (room == nullptr) {
            written = false;
            break;
        }
        if (!renderSongBlockIntoBuffer(room, &block)) {
            break;
        }
        const int64_t count = std::min<int64_t>(frames - done, block.frames);
        if (block.pcm != room) {
            // A stretch's first block begins inside the song block.
            std::memmove(room, block.pcm, static_cast<size_t>(count) * WavBytesPerFrame);
        }
        written = wav.commit(static_cast<uint64_t>(count));
        if (log.file != nullptr) {
            logged = logged && std::fprintf(log.file, "%d %d %d\n", block.stamp.elapsedMs,
                                            block.stamp.order, block.stamp.row) > 0;
        }
        done += count;
        if (showProgress && done >= nextProgress) {
            std::fprintf(stderr, "korvanthe-xm: rendered %s\n",
                         songTime(done, rate, SongTimeDigits::Seconds).c_str());
            nextProgress += progressFrames;
        }
    }
    stopSongRender();
    if (!wav.finish()) {
        return reportFileError(output == "-" ? "standard output" : output, wav.error());
    }
    if (log.file != nullptr && (!logged || std::fflush(log.file) != 0)) {
        return reportFileError(options.positions, "cannot write: " + lastError("write failed"));
    }
    if (!ended) {
        std::fprintf(stderr, "korvanthe-xm: %s: no end found; stopped after %s\n", input.c_str(),
                     songTime(frames, rate).c_str());
    }
    return 0;
}

int renderFile(const std::string& input, const std::string& output, const RenderOptions& options) {
    XmLoadReport report;
    std::string reason;
    Module* song = loadSongFile(input, report, reason);
    if (song == nullptr) {
        return reportFileError(input, reason);
    }
    int result = 0;
    if (!playbackOptionsFit(*song, options.playback, reason)) {
        result = reportFileError(input, reason);
    } else {
        result = renderSong(song, input, output, options);
    }
    freeModule(song);
    return result;
}

// Several files (or -o naming a folder): FOLDER/NAME.wav for each song.
int renderIntoFolder(const RenderOptions& options) {
    const fs::path folder = options.output;
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error)) {
        return reportFileError(options.output, "cannot be used as a folder for the WAV files");
    }
    std::set<std::string> names;
    for (const std::string& input : options.inputs) {
        const std::string name = fs::path(input).stem().string() + ".wav";
        if (!names.insert(name).second) {
            return usageError("two files would both become " + (folder / name).string());
        }
    }
    int result = 0;
    const bool tell = options.inputs.size() > 1;
    for (const std::string& input : options.inputs) {
        const std::string output = (folder / (fs::path(input).stem().string() + ".wav")).string();
        const int status = renderFile(input, output, options);
        if (status == 0 && tell) {
            std::printf("%s -> %s\n", input.c_str(), output.c_str());
            std::fflush(stdout);
        }
        result = status != 0 ? status : result;
    }
    return result;
}

int runRenderCommand(const CommandArguments& arguments) {
    RenderOptions options;
    if (const int usage = parseRenderArguments(arguments, options); usage != 0) {
        return usage;
    }
    if (options.output == "-" && isTerminal(stdout)) {
        return usageError("standard output is a terminal; pipe it or redirect it to a file");
    }
    std::error_code error;
    const bool namesFolder = options.output.back() == '/' ||
                             (options.output != "-" && fs::is_directory(options.output, error));
    if (options.inputs.size() > 1 || namesFolder) {
        return renderIntoFolder(options);
    }
    return renderFile(options.inputs[0], options.output, options);
}

} // namespace

const XmCommand renderCommand = {
    "render",
    "render FILE... -o OUT [options]",
    "render to 16-bit stereo WAV files",
    "Renders songs through the player's own block renderer, as fast as the CPU allows.\n"
    "A song stops where it ends: the first time playback would go back to a position\n"
    "it has already played other than through a pattern loop (after 30 minutes of\n"
    "song at the latest).\n",
    "  -o, --output OUT   the WAV file; - for standard output; with several FILEs (or\n"
    "                     ending in /) a folder, made when missing, that gets NAME.wav\n"
    "                     for each\n"
    "  --end POS          stop at this position (as --start takes it) instead\n"
    "  --seconds S        render exactly S seconds instead, looping as the song does\n"
    "  --positions LOG    write one line per block (about 20 ms): elapsedMs order row\n",
    true,
    "korvanthe-xm render song.xm -o song.wav\n"
    "korvanthe-xm render song.xm --rate 48000 --repeat 2 -o - | sox -t wav - song.flac\n"
    "korvanthe-xm render *.xm -o wavs\n"
    "korvanthe-xm render song.xm --solo 4 -o bass.wav\n",
    runRenderCommand,
};

} // namespace korvanthe
