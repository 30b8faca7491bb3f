#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/main_sequence.h"
#include "host/window.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/virtual_clock.h"
#include "tools/soak/soak.h"

namespace korvanthe::soak {

namespace {

constexpr uint32_t ClockOrigin = 100000; // any start; the effects see differences
constexpr int64_t WarmUpSeconds = 60;
constexpr auto HangLimit = std::chrono::seconds(10);
constexpr int64_t FlatToleranceKiB = 1024;

struct FrameSoak {
    int64_t frameCount;
    int fps;
    int64_t soundFrames = 0;
    int64_t framesDrawn = 0;
    bool hung = false;
    MemoryFigures warm{0, 0};
    // Largest resident memory in each tenth of the run after the warm-up.
    int64_t largestByTenth[10] = {};
};

// Plays the virtual device on to the sound frame of video frame `frame` in
// one step (well inside the 2 s ring), then lets the streaming thread refill.
void playSoundTo(FrameSoak& soak, int64_t frame) {
    const int64_t target = frame * 44100 / soak.fps;
    const int64_t count = target - soak.soundFrames;
    if (count <= 0) {
        return;
    }
    soak.soundFrames = target;
    if (!headlessAudioLooping()) {
        return;
    }
    const uint64_t queries = headlessAudioPositionQueries();
    if (!playHeadlessAudio(static_cast<uint32_t>(count))) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + HangLimit;
    while (headlessAudioPositionQueries() < queries + 2 && !threadFinished.load()) {
        if (std::chrono::steady_clock::now() > deadline) {
            soak.hung = true;
            return;
        }
        std::this_thread::yield();
    }
    takeHeadlessAudioPlayed();
}

void beforeFrame(FrameSoak& soak, int64_t frame) {
    playSoundTo(soak, frame);
    setVirtualMilliseconds(ClockOrigin + static_cast<uint32_t>(frame * 1000 / soak.fps));
}

void afterFrame(FrameSoak& soak, int64_t frame) {
    soak.framesDrawn = frame + 1;
    if (frame == WarmUpSeconds * soak.fps) {
        soak.warm = memoryFigures();
    }
    if (frame > WarmUpSeconds * soak.fps && frame % soak.fps == 0) {
        const int64_t tenth = std::min<int64_t>(9, frame * 10 / soak.frameCount);
        soak.largestByTenth[tenth] =
            std::max(soak.largestByTenth[tenth], memoryFigures().residentKiB);
    }
    if (frame + 1 >= soak.frameCount || soak.hung) {
        injectKey(KeyEscape, true); // a held Escape ends the loop at the next pump
    }
}

} // namespace

bool runFrameLoopSoak(int64_t seconds, int fps) {
    // Each frame takes a second of played sound back from the virtual device
    // (176 KB). glibc's moving mmap threshold would let such blocks creep up
    // the heap by a few MB an hour, which is the allocator, not the demo:
    // fixed at 64 KiB they go straight back to the system.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    FrameSoak soak{seconds * fps, fps};
    setVirtualMilliseconds(ClockOrigin);
    resetHeadlessWindowSystem();
    const MemoryFigures before = memoryFigures();
    const auto started = std::chrono::steady_clock::now();
    MainSequenceHooks hooks;
    hooks.beforeFrame = [&soak](int64_t frame) { beforeFrame(soak, frame); };
    hooks.afterFrame = [&soak](int64_t frame) { afterFrame(soak, frame); };
    runMainSequence(hooks);
    const MemoryFigures end = memoryFigures();
    const double cpuSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("frames: %lld frames = %.3f h of virtual time at %d fps in %.1f s\n",
                static_cast<long long>(soak.framesDrawn),
                static_cast<double>(soak.framesDrawn) / fps / 3600.0, fps, cpuSeconds);
    printMemory("frames before the demo", before);
    printMemory("frames after warm-up", soak.warm);
    std::printf("frames: largest resident by tenth of the run (KiB):");
    for (int64_t kib : soak.largestByTenth) {
        std::printf(" %lld", static_cast<long long>(kib));
    }
    std::printf("\n");
    printMemory("frames after the demo", end);
    if (soak.hung) {
        std::fprintf(stderr, "korvanthe-soak: frames: the streaming thread hangs\n");
        return false;
    }
    if (soak.framesDrawn < soak.frameCount) {
        std::fprintf(stderr, "korvanthe-soak: frames: the demo ended after %lld of %lld frames\n",
                     static_cast<long long>(soak.framesDrawn),
                     static_cast<long long>(soak.frameCount));
        return false;
    }
    // Flat: the second half of the run needs no more memory than the first
    // (effects that start late may still allocate once, early on).
    int64_t firstHalf = 0;
    int64_t secondHalf = 0;
    for (int i = 0; i < 10; ++i) {
        (i < 5 ? firstHalf : secondHalf) =
            std::max(i < 5 ? firstHalf : secondHalf, soak.largestByTenth[i]);
    }
    if (firstHalf > 0 && secondHalf - firstHalf > FlatToleranceKiB) {
        std::fprintf(stderr, "korvanthe-soak: frames: memory grew by %lld KiB in the second half\n",
                     static_cast<long long>(secondHalf - firstHalf));
        return false;
    }
    return true;
}

} // namespace korvanthe::soak
