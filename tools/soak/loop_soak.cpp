#include <algorithm>
#include <chrono>
#include <cstdio>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tools/soak/soak.h"

namespace korvanthe::soak {

namespace {

constexpr int32_t SoakSampleRate = 44100;
constexpr int64_t WarmUpBlocks = 3000; // one minute

struct Position {
    int order;
    int row;
    bool operator==(const Position&) const = default;
    bool before(const Position& other) const {
        return order < other.order || (order == other.order && row < other.row);
    }
};

struct LoopFigures {
    int64_t blocks = 0;
    int64_t loops = 0; // moves back to where the song continues
    int64_t otherJumpsBack = 0;
    Position loopTarget{-1, -1};
    int32_t shortestLoopMs = INT32_MAX;
    int32_t longestLoopMs = 0;
    int32_t lastLoopAtMs = 0;
    double exactMs = 0;   // the frames rendered, in exact milliseconds
    int64_t runBound = 0; // the most mixed runs the blocks can have had
};

bool fail(int64_t block, const char* what) {
    std::fprintf(stderr, "korvanthe-soak: loop: block %lld: %s\n", static_cast<long long>(block),
                 what);
    return false;
}

// One block's stamp against the previous one.
bool checkBlock(LoopFigures& f, const Module& module, const BlockStamp& before,
                const BlockStamp& after) {
    const int32_t frames = outputSettings.blockFrames;
    const double blockMs = 1000.0 * frames / SoakSampleRate;
    // Every tick starts a run; a block holds at most frames / samplesPerTick
    // whole ticks, plus the runs cut by its two ends.
    const int64_t runs = frames / std::max(module.samplesPerTick, 1) + 2;
    f.exactMs += blockMs;
    f.runBound += runs;
    const int32_t grown = after.elapsedMs - before.elapsedMs;
    // Each run adds its length truncated to whole milliseconds: never more than
    // the block's length, never less by more than 1 ms per run.
    if (grown > blockMs || grown < blockMs - static_cast<double>(runs)) {
        return fail(f.blocks, "elapsedMs did not grow by the block's length");
    }
    if (after.elapsedMs > f.exactMs ||
        after.elapsedMs < f.exactMs - static_cast<double>(f.runBound)) {
        return fail(f.blocks, "elapsedMs drifted from the frames rendered");
    }
    // Moving back to an earlier order is the song looping (or a jump back);
    // moving back within one order is a pattern loop. Both are counted, not
    // judged: the checks above hold through them.
    if (after.order < before.order) {
        const Position to{after.order, after.row};
        if (f.loopTarget.order < 0) {
            f.loopTarget = to;
        }
        if (to == f.loopTarget) {
            if (f.loops > 0) {
                const int32_t loopMs = after.elapsedMs - f.lastLoopAtMs;
                f.shortestLoopMs = std::min(f.shortestLoopMs, loopMs);
                f.longestLoopMs = std::max(f.longestLoopMs, loopMs);
            }
            f.lastLoopAtMs = after.elapsedMs;
            ++f.loops;
        } else {
            ++f.otherJumpsBack;
        }
    }
    return true;
}

} // namespace

bool runLoopSoak(const char* songPath, int64_t seconds) {
    useStandardFileCallbacks();
    XmLoadReport report;
    Module* module = createModule(songPath, &report);
    if (module == nullptr) {
        std::fprintf(stderr, "korvanthe-soak: %s: %s\n", songPath, loadErrorText(report.error));
        return false;
    }
    configureOutput(SoakSampleRate);
    if (!startBlockRendering(module)) {
        freeModule(module);
        return fail(0, "rendering did not start");
    }
    const int64_t totalBlocks = seconds * SoakSampleRate / outputSettings.blockFrames;
    LoopFigures figures;
    MemoryFigures warm = memoryFigures();
    const auto started = std::chrono::steady_clock::now();
    BlockStamp previous{0, 0, 0};
    bool ok = true;
    for (; ok && figures.blocks < totalBlocks; ++figures.blocks) {
        if (figures.blocks == WarmUpBlocks) {
            warm = memoryFigures();
        }
        const int32_t index = blockRenderer.renderIndex;
        renderBlock();
        const BlockStamp stamp = readStamp(blockRenderer.stamps[index]);
        ok = checkBlock(figures, *module, previous, stamp);
        previous = stamp;
    }
    const double cpuSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const MemoryFigures end = memoryFigures();
    stopBlockRendering();
    releaseOutputRing();
    freeModule(module);

    std::printf("loop: %lld blocks = %.3f h of song in %.1f s (%.0fx real time)\n",
                static_cast<long long>(figures.blocks), figures.exactMs / 3.6e6, cpuSeconds,
                figures.exactMs / 1000.0 / std::max(cpuSeconds, 1e-9));
    std::printf("loop: elapsedMs %d against %.1f ms of frames (%.3f%% behind: each mixed run "
                "is truncated to whole ms)\n",
                previous.elapsedMs, figures.exactMs,
                100.0 * (figures.exactMs - previous.elapsedMs) / std::max(figures.exactMs, 1.0));
    std::printf("loop: %lld loops back to order %d row %d, each %d..%d ms; %lld other jumps back\n",
                static_cast<long long>(figures.loops), figures.loopTarget.order,
                figures.loopTarget.row, figures.loops > 1 ? figures.shortestLoopMs : 0,
                figures.longestLoopMs, static_cast<long long>(figures.otherJumpsBack));
    printMemory("loop after warm-up", warm);
    printMemory("loop at the end", end);
    if (ok && end.residentKiB - warm.residentKiB > AllowedGrowthKiB) {
        std::fprintf(stderr, "korvanthe-soak: loop: memory grew by %lld KiB\n",
                     static_cast<long long>(end.residentKiB - warm.residentKiB));
        ok = false;
    }
    return ok;
}

} // namespace korvanthe::soak
