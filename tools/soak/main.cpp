// korvanthe-soak: long runs that show the player and the demo neither leak,
// hang nor drift. Run by scripts/soak.sh.
//   korvanthe-soak play-stop SONG [CYCLES]     (default 10000)
//   korvanthe-soak loop SONG [SECONDS]         (default 3600)
//   korvanthe-soak frames [SECONDS] [FPS]      (default 3600 at 10; demo files
//                                               in the working directory)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/soak/soak.h"

namespace {

long long argumentOr(int argc, char** argv, int index, long long fallback) {
    if (index >= argc) {
        return fallback;
    }
    char* end = nullptr;
    long long value = std::strtoll(argv[index], &end, 10);
    if (end == argv[index] || *end != 0 || value <= 0) {
        std::fprintf(stderr, "korvanthe-soak: not a positive number: %s\n", argv[index]);
        std::exit(2);
    }
    return value;
}

int usage() {
    std::fprintf(stderr, "usage: korvanthe-soak play-stop SONG [CYCLES] | loop SONG [SECONDS] | "
                         "frames [SECONDS] [FPS]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace korvanthe::soak;
    if (argc < 2) {
        return usage();
    }
    bool ok = false;
    if (std::strcmp(argv[1], "play-stop") == 0 && argc >= 3) {
        ok = runPlayStopSoak(argv[2], argumentOr(argc, argv, 3, 10000));
    } else if (std::strcmp(argv[1], "loop") == 0 && argc >= 3) {
        ok = runLoopSoak(argv[2], argumentOr(argc, argv, 3, 3600));
    } else if (std::strcmp(argv[1], "frames") == 0) {
        ok = runFrameLoopSoak(argumentOr(argc, argv, 2, 3600),
                              static_cast<int>(argumentOr(argc, argv, 3, 10)));
    } else {
        return usage();
    }
    return ok ? 0 : 1;
}
