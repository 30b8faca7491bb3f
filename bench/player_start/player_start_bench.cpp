// Start-up cost of live playback: playerPlay renders the whole ring (100
// blocks, about two seconds of sound) on the calling thread before the
// device starts. Measured on the headless device with the songs given on the
// command line, or the songs of bench/common/bench_songs.h.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/block_streaming.h"
#include "audio/player.h"
#include "bench/common/bench_songs.h"

namespace {

void playerPlayStartUp(benchmark::State& state, std::string path) {
    if (korvanthe::playerLoad(path.c_str()) == nullptr) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvanthe::playerPlay());
        state.PauseTiming();
        korvanthe::stopModule(korvanthe::loadedModule());
        state.ResumeTiming();
    }
    korvanthe::playerStop();
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (const std::string& song : korvanthe::bench::benchSongs(argc, argv)) {
        benchmark::RegisterBenchmark(
            ("playerPlay/" + std::filesystem::path(song).filename().string()).c_str(),
            playerPlayStartUp, song)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
