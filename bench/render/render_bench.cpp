// Whole songs: each song given on the command line (or the songs of
// bench/common/bench_songs.h) rendered through the block renderer to memory,
// from its start to where it ends (at most 30 minutes), as the render command
// does; and the time the loader takes to make a Module of each file.
//   frames_per_cpu_s   output frames per CPU second
//   x_realtime         seconds of song per CPU second
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/common/bench_songs.h"
#include "bench/common/whole_song.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"

namespace {

void renderSong(benchmark::State& state, std::string path) {
    korvanthe::useStandardFileCallbacks();
    korvanthe::Module* song = korvanthe::createModule(path.c_str());
    if (song == nullptr) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) {
        frames += korvanthe::bench::renderWholeSong(song);
    }
    state.counters["frames_per_cpu_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(frames) / korvanthe::bench::WholeSongRate, benchmark::Counter::kIsRate);
    korvanthe::freeModule(song);
}

void loadSong(benchmark::State& state, std::string path) {
    korvanthe::useStandardFileCallbacks();
    for (auto _ : state) {
        korvanthe::Module* song = korvanthe::createModule(path.c_str());
        if (song == nullptr) {
            state.SkipWithError(("cannot load " + path).c_str());
            return;
        }
        korvanthe::freeModule(song);
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (const std::string& song : korvanthe::bench::benchSongs(argc, argv)) {
        const std::string name = std::filesystem::path(song).filename().string();
        benchmark::RegisterBenchmark(("render/" + name).c_str(), renderSong, song)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("load/" + name).c_str(), loadSong, song)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
