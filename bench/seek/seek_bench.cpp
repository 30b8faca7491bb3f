// What an exact move in a song costs, for the songs of bench/common/
// bench_songs.h and a five-minute song (our soundtrack's orders played twice
// and then some, written for the purpose):
//   map/SONG     the first move: one replay of the whole song that nobody
//                hears, which finds its rows and its end and keeps the
//                replayer's state every 128 blocks;
//                frames_per_cpu_s: song frames replayed per CPU second
//   seek/SONG    a move to the first frame of the song's last row, mapped
//                already: the nearest keyframe put back and the blocks after
//                it replayed unheard; the slowest move there is
//   first/SONG   both, as a move in a song not yet mapped costs
// The goal: any move in a five-minute song in well under 50 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "audio/block_renderer.h"
#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "audio/song_map.h"
#include "bench/common/bench_songs.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tools/assetgen/soundtrack.h"

namespace {

using namespace korvanthe;

constexpr int32_t Rate = 44100;

SongMap map;

// The frame at which the song's last row begins: the latest first frame of
// any row it reaches.
int64_t lastRowFrame(const SongMap& songMap) {
    return *std::max_element(songMap.rowFrames.begin(), songMap.rowFrames.end());
}

Module* loadForRendering(const std::string& path) {
    useStandardFileCallbacks();
    Module* song = createModule(path.c_str());
    if (song == nullptr) {
        return nullptr;
    }
    configureOutput(Rate);
    if (!startBlockRendering(song)) {
        freeModule(song);
        return nullptr;
    }
    return song;
}

void release(Module* song) {
    stopBlockRendering();
    releaseOutputRing();
    clearSongMap(map);
    freeModule(song);
}

void mapSong(benchmark::State& state, std::string path) {
    Module* song = loadForRendering(path);
    if (song == nullptr) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) {
        buildSongMap(map, song, 1, true);
        frames += map.endFrame;
    }
    state.counters["frames_per_cpu_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["song_s"] = static_cast<double>(map.endFrame) / Rate;
    state.counters["keyframes_kb"] =
        static_cast<double>(map.keyframes.size() * sizeof(ReplayState)) / 1024.0;
    release(song);
}

void seekSong(benchmark::State& state, std::string path) {
    Module* song = loadForRendering(path);
    if (song == nullptr) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    buildSongMap(map, song, 1, true);
    const int64_t target = lastRowFrame(map);
    for (auto _ : state) {
        benchmark::DoNotOptimize(moveToSongFrame(map, *song, target));
    }
    state.counters["target_s"] = static_cast<double>(target) / Rate;
    release(song);
}

void firstSeek(benchmark::State& state, std::string path) {
    Module* song = loadForRendering(path);
    if (song == nullptr) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    for (auto _ : state) {
        buildSongMap(map, song, 1, true);
        benchmark::DoNotOptimize(moveToSongFrame(map, *song, lastRowFrame(map)));
    }
    release(song);
}

// Our soundtrack's music (without the closing silence, which jumps to
// itself) twice, then from its start again until five minutes are reached,
// played once through.
std::string writeFiveMinuteSong(const std::filesystem::path& folder) {
    XmSong song = assetgen::makeSoundtrack();
    song.orders.pop_back();
    const std::vector<uint8_t> music = song.orders;
    song.orders.insert(song.orders.end(), music.begin(), music.end());
    song.orders.insert(song.orders.end(), music.begin(), music.begin() + 3);
    song.restartPosition = 0;
    const std::filesystem::path path = folder / "five-minutes.xm";
    return writeXmFile(song, path.string()) ? path.string() : "";
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> songs = bench::benchSongs(argc, argv);
    const std::string five =
        writeFiveMinuteSong(std::filesystem::temp_directory_path());
    if (!five.empty()) {
        songs.push_back(five);
    }
    for (const std::string& song : songs) {
        const std::string name = std::filesystem::path(song).filename().string();
        benchmark::RegisterBenchmark(("map/" + name).c_str(), mapSong, song)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("seek/" + name).c_str(), seekSong, song)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("first/" + name).c_str(), firstSeek, song)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!five.empty()) {
        std::filesystem::remove(five);
    }
    return 0;
}
