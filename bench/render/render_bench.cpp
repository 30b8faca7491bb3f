// Rendering speed: each song given on the command line (or each song of the
// corpus's songs/ folder) rendered from its start to where it ends, as the
// render command does. "song_s_per_cpu_s" is seconds of song per CPU second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/offline_render.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"

namespace {

constexpr int32_t Rate = 44100;
constexpr int64_t LongestSongFrames = int64_t{Rate} * 30 * 60;

void renderSong(benchmark::State& state, std::string path) {
    korvanthe::useStandardFileCallbacks();
    korvanthe::Module* song = korvanthe::createModule(path.c_str());
    if (song == nullptr) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) {
        korvanthe::startOfflineRender(song, Rate, true);
        korvanthe::OfflineBlock block{};
        int64_t rendered = 0;
        while (rendered < LongestSongFrames && korvanthe::renderOfflineBlock(&block)) {
            benchmark::DoNotOptimize(block.pcm[0]);
            rendered += block.frames;
        }
        korvanthe::stopOfflineRender();
        frames += rendered;
    }
    state.counters["song_s_per_cpu_s"] =
        benchmark::Counter(static_cast<double>(frames) / Rate, benchmark::Counter::kIsRate);
    korvanthe::freeModule(song);
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
            ("render/" + std::filesystem::path(song).filename().string()).c_str(), renderSong, song)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
