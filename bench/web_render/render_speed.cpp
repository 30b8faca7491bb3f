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
#include "bench/common/whole_song.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"

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
        korvanthe::freeModule(song);
        return 1;
    }
    int64_t frames = 0;
    const std::clock_t start = std::clock();
    for (int pass = 0; pass < passes; ++pass) {
        frames += korvanthe::bench::renderWholeSong(song);
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    korvanthe::freeModule(song);
    std::printf("mixer path %s: %lld frames in %.3f CPU s: %.0f frames per CPU second, "
                "%.1f x real time\n",
                korvanthe::mixerPathName(korvanthe::activeMixerPath()),
                static_cast<long long>(frames), seconds, frames / seconds,
                frames / seconds / korvanthe::bench::WholeSongRate);
    return 0;
}
