#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/block_renderer.h"
#include "audio/block_streaming.h"
#include "audio/mixer.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "platform/headless/headless_audio.h"
#include "tools/soak/soak.h"

namespace korvanthe::soak {

namespace {

// A refill that takes longer than this (real time) is a hang.
constexpr auto HangLimit = std::chrono::seconds(10);
constexpr int64_t WarmUpCycles = 100;

// Plays one block on the virtual device and waits until the streaming thread
// has seen the new position and refilled behind it. False on a hang.
bool playOneBlock() {
    const uint64_t queries = headlessAudioPositionQueries();
    if (!playHeadlessAudio(static_cast<uint32_t>(outputSettings.blockFrames))) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + HangLimit;
    while (headlessAudioPositionQueries() < queries + 2 && !threadFinished.load()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    takeHeadlessAudioPlayed(); // only the position matters here
    return true;
}

// What a stop must leave behind: nothing.
const char* leftover() {
    if (loadedModule() != nullptr) {
        return "the song is still loaded";
    }
    if (headlessAudioLooping()) {
        return "the device still loops";
    }
    if (!threadFinished.load()) {
        return "the streaming thread has not finished";
    }
    if (blockRenderer.currentModule != nullptr || blockRenderer.stamps != nullptr ||
        blockRenderer.outputRing != nullptr) {
        return "the block renderer still holds the song or its buffers";
    }
    for (const Voice& voice : voices) {
        if (voice.sample != nullptr || voice.volumeLeft != 0 || voice.volumeRight != 0 ||
            voice.rampFramesLeft != 0) {
            return "a voice still sounds";
        }
    }
    if (playerCurrentOrder() != 0 || playerCurrentRow() != 0) {
        return "a position is reported after the stop";
    }
    return nullptr;
}

} // namespace

bool runPlayStopSoak(const char* songPath, int64_t cycles) {
    MemoryFigures warm = memoryFigures();
    const auto started = std::chrono::steady_clock::now();
    int64_t blocksPlayed = 0;
    for (int64_t cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == WarmUpCycles || (cycles <= WarmUpCycles && cycle == 0)) {
            warm = memoryFigures();
        }
        if (playerLoad(songPath) == nullptr) {
            std::fprintf(stderr, "korvanthe-soak: %s: cannot load the song\n", songPath);
            return false;
        }
        if (!playerPlay()) {
            std::fprintf(stderr, "korvanthe-soak: cycle %lld: playback did not start\n",
                         static_cast<long long>(cycle));
            playerStop();
            return false;
        }
        // 0 to 4 blocks: stops right after the start, and in mid-refill.
        for (int64_t block = 0; block < cycle % 5; ++block) {
            if (!playOneBlock()) {
                std::fprintf(stderr, "korvanthe-soak: cycle %lld: the streaming thread hangs\n",
                             static_cast<long long>(cycle));
                playerStop();
                return false;
            }
            ++blocksPlayed;
        }
        playerCurrentOrder();
        playerStop();
        if (const char* problem = leftover()) {
            std::fprintf(stderr, "korvanthe-soak: cycle %lld: %s\n", static_cast<long long>(cycle),
                         problem);
            return false;
        }
    }
    const MemoryFigures end = memoryFigures();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("play-stop: %lld cycles, %lld blocks played, %.1f s\n",
                static_cast<long long>(cycles), static_cast<long long>(blocksPlayed), seconds);
    printMemory("play-stop after warm-up", warm);
    printMemory("play-stop at the end", end);
    if (end.residentKiB - warm.residentKiB > AllowedGrowthKiB) {
        std::fprintf(stderr, "korvanthe-soak: play-stop: memory grew by %lld KiB\n",
                     static_cast<long long>(end.residentKiB - warm.residentKiB));
        return false;
    }
    return true;
}

} // namespace korvanthe::soak
