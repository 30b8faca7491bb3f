// The render speed of one song in the build it is compiled into (wasm under
// node here; natively korvanthe-bench-render-speed is the same program):
// the whole song through the block renderer, as the render command does,
// and the output frames per CPU second.
//
//   node --no-experimental-fetch render_speed.js SONG.xm [PASSES] [scalar]
//
// "scalar" takes the scalar mixer path where a faster one is available, for
// the comparison of the same code natively.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "audio/mixer_path.h"
#include "audio/offline_render.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"

namespace {

constexpr int32_t Rate = 44100;
constexpr int64_t LongestSongFrames = int64_t{Rate} * 30 * 60;

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: render_speed SONG.xm [PASSES] [scalar]\n");
        return 2;
    }
    const int passes = argc >= 3 ? std::atoi(argv[2]) : 3;
    if (argc == 4) {
        korvanthe::selectMixerPath(korvanthe::MixerPath::Scalar);
    }
    korvanthe::useStandardFileCallbacks();
    korvanthe::Module* song = korvanthe::createModule(argv[1]);
    if (song == nullptr || passes < 1) {
        std::fprintf(stderr, "render_speed: %s: cannot load the song\n", argv[1]);
        return 1;
    }
    int64_t frames = 0;
    const std::clock_t start = std::clock();
    for (int pass = 0; pass < passes; ++pass) {
        korvanthe::startOfflineRender(song, Rate, true);
        korvanthe::OfflineBlock block{};
        while (frames < LongestSongFrames * passes && korvanthe::renderOfflineBlock(&block)) {
            frames += block.frames;
        }
        korvanthe::stopOfflineRender();
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("mixer path %s: %lld frames in %.3f CPU s: %.0f frames per CPU second, "
                "%.1f x real time\n",
                korvanthe::mixerPathName(korvanthe::activeMixerPath()),
                static_cast<long long>(frames), seconds, frames / seconds, frames / seconds / Rate);
    return 0;
}
