// Start-up cost of live playback: playerPlay renders the whole ring (100
// blocks, about two seconds of sound) on the calling thread before the
// device starts. Measured on the headless device with the corpus songs given
// on the command line, or the corpus's songs/ folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/block_streaming.h"
#include "audio/player.h"

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
    std::vector<std::string> songs(argv + 1, argv + argc);
    if (songs.empty()) {
        std::error_code error;
        const std::filesystem::path dir =
            std::filesystem::path(KORVANTHE_SHARED_DIR) / "xm-corpus" / "songs";
        for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
            songs.push_back(entry.path().string());
        }
    }
    for (const std::string& song : songs) {
        benchmark::RegisterBenchmark(
            ("playerPlay/" + std::filesystem::path(song).filename().string()).c_str(),
            playerPlayStartUp, song)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
