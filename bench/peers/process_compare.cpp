// korvanthe-bench-process: our renderer the way a person runs it, as a whole
// process (its start, the load, the song's map, the render and the WAV
// written to /dev/null), against libxmp rendering the same song inside this
// process to memory (1024-frame buffers, 44100 Hz 16-bit stereo, linear
// interpolation; the load not counted). The two take turns, round after
// round, so that the machine's load falls on both alike; each gets the
// median of its frames per CPU second (user and system time: for our
// process as wait4 reports it, for libxmp this process's own). Prints the
// ratio per song. bench/compare-process drives it.
//
//   korvanthe-bench-process [--rounds N] [--seconds S] [--xm PROGRAM]... SONG...
//
// PROGRAM defaults to korvanthe-xm beside this program. Several --xm (builds
// of two versions, say) take their turns with libxmp in the same rounds and
// get a column and a ratio each.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/peers/turns.h"
#include "bench/peers/xmp_peer.h"

extern char** environ;

namespace {

constexpr int32_t Rate = 44100;
constexpr int32_t XmpChunkFrames = 1024;

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// CPU seconds of one `PROGRAM render SONG -o /dev/null --seconds S`; a
// negative value when it could not be run or did not exit with 0.
double runOurs(const std::string& program, const std::string& song, const std::string& length) {
    std::vector<std::string> words = {program, "render", song, "-o", "/dev/null", "--seconds",
                                      length};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU seconds of libxmp's render of `frames` frames; negative on failure.
double runXmp(const std::vector<char>& bytes, int64_t frames, std::vector<int16_t>& chunk) {
    if (!korvanthe::bench::loadXmpSong(bytes)) {
        return -1;
    }
    const double start = korvanthe::bench::processCpuSeconds();
    const bool rendered = korvanthe::bench::renderXmpSong(frames, chunk.data(), XmpChunkFrames);
    const double spent = korvanthe::bench::processCpuSeconds() - start;
    korvanthe::bench::unloadXmpSong();
    return rendered ? spent : -1;
}

std::string besideThisProgram(const char* name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? name : (self.parent_path() / name).string();
}

} // namespace

int main(int argc, char** argv) {
    using korvanthe::bench::median;
    korvanthe::bench::TurnOptions turns;
    std::vector<std::string> programs;
    std::vector<std::string> songs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (korvanthe::bench::takeTurnOption(argc, argv, i, turns)) {
            continue;
        }
        if (arg == "--xm" && i + 1 < argc) {
            programs.push_back(argv[++i]);
        } else {
            songs.push_back(arg);
        }
    }
    const int rounds = turns.rounds;
    const std::string length = turns.seconds != nullptr ? turns.seconds : "600";
    const double songSeconds = std::atof(length.c_str());
    if (songs.empty() || !(songSeconds > 0)) {
        std::fprintf(stderr, "usage: korvanthe-bench-process [--rounds N] [--seconds S] "
                             "[--xm PROGRAM] SONG...\n");
        return 2;
    }
    if (programs.empty()) {
        programs.push_back(besideThisProgram("korvanthe-xm"));
    }
    // The frames our render writes for --seconds S.
    const auto frames = static_cast<int64_t>(std::llround(songSeconds * Rate));
    std::vector<int16_t> chunk(static_cast<size_t>(XmpChunkFrames) * 2);

    const size_t players = programs.size() + 1; // libxmp is the last
    std::printf("%-28s", "song");
    for (const std::string& program : programs) {
        std::printf(" %12s", programs.size() > 1 ? program.c_str() : "korvanthe");
    }
    std::printf(" %12s  (Mframes per CPU second, median of %d, %s s)  ratio\n", "libxmp", rounds,
                length.c_str());
    int status = 0;
    for (const std::string& song : songs) {
        const std::vector<char> bytes = korvanthe::bench::readFile(song);
        const std::string name = song.substr(song.find_last_of('/') + 1);
        std::vector<std::vector<double>> rates(players);
        bool failed = bytes.empty();
        for (int round = 0; round < rounds && !failed; ++round) {
            // The order rotates, so that no player always runs first.
            for (size_t turn = 0; turn < players && !failed; ++turn) {
                const size_t p = (turn + static_cast<size_t>(round)) % players;
                const double spent = p < programs.size() ? runOurs(programs[p], song, length)
                                                         : runXmp(bytes, frames, chunk);
                failed = spent < 0;
                rates[p].push_back(static_cast<double>(frames) / std::max(spent, 1e-9));
            }
        }
        if (failed) {
            std::fprintf(stderr, "korvanthe-bench-process: %s: a render failed\n", song.c_str());
            status = 1;
            continue;
        }
        const double xmpRate = median(rates.back());
        std::printf("%-28s", name.c_str());
        for (size_t p = 0; p < players; ++p) {
            std::printf(" %12.1f", median(rates[p]) / 1e6);
        }
        for (size_t p = 0; p + 1 < players; ++p) {
            std::printf("  %.2f", median(rates[p]) / xmpRate);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return status;
}
