#include "audio/block_renderer.h"

#include <cstdlib>
#include <cstring>

#include "audio/mixer.h"
#include "audio/output_settings.h"
#include "audio/replay_state.h"
#include "replayer/channel.h"

namespace korvanthe {

BlockRenderer blockRenderer{};

namespace {

constexpr size_t MixAlignment = 16; // the mix allocation is this much larger than the buffer

size_t ringSamples() {
    return static_cast<size_t>(outputSettings.ringFrames) * 2;
}

void releasePlayBuffers() {
    std::free(blockRenderer.mixAllocation);
    blockRenderer.mixAllocation = nullptr;
    blockRenderer.mixBuffer = nullptr;
    std::free(blockRenderer.stamps);
    blockRenderer.stamps = nullptr;
}

bool allocatePlayBuffers() {
    size_t samples = ringSamples();
    if (blockRenderer.outputRing != nullptr &&
        blockRenderer.outputRingFrames >= outputSettings.ringFrames) {
        std::memset(blockRenderer.outputRing, 0, samples * sizeof(int16_t));
    } else {
        // A rate change reopens the device, so nothing loops the old ring.
        releaseOutputRing();
        blockRenderer.outputRing = static_cast<int16_t*>(std::calloc(samples, sizeof(int16_t)));
        blockRenderer.outputRingFrames =
            blockRenderer.outputRing != nullptr ? outputSettings.ringFrames : 0;
    }
    blockRenderer.stamps = static_cast<BlockStamp*>(
        std::calloc(static_cast<size_t>(blockCount()), sizeof(BlockStamp)));
    // One block: renderBlock mixes every block at the buffer's start.
    const size_t mixSamples = static_cast<size_t>(outputSettings.blockFrames) * 2;
    blockRenderer.mixAllocation = std::calloc(mixSamples * sizeof(float) + MixAlignment, 1);
    if (blockRenderer.outputRing == nullptr || blockRenderer.stamps == nullptr ||
        blockRenderer.mixAllocation == nullptr) {
        releasePlayBuffers();
        return false;
    }
    auto address = reinterpret_cast<uintptr_t>(blockRenderer.mixAllocation);
    address = (address + MixAlignment - 1) & ~static_cast<uintptr_t>(MixAlignment - 1);
    blockRenderer.mixBuffer = reinterpret_cast<float*>(address);
    return true;
}

} // namespace

bool startBlockRendering(Module* module) {
    if (module == nullptr || outputSettings.sampleRate <= 0 || outputSettings.blockFrames <= 0 ||
        blockCount() <= 0) {
        return false;
    }
    stopBlockRendering();
    if (!allocatePlayBuffers()) {
        return false;
    }
    // Silencing every voice keeps voices that still point into an earlier,
    // possibly freed song from being mixed; that and the song as loaded make
    // two renders of one song identical (the second render in
    // tests/replayer/render_golden_test.cpp).
    restartSongAsLoaded(*module);
    blockRenderer.currentModule = module;
    blockRenderer.renderIndex = 0;
    return true;
}

namespace {

// One song block: the module's tickHandler whenever a tick is due, and the
// voices mixed into mix (Audible) or only moved on (not), up to the next tick
// or the end of the block, each run's length added to elapsedMs.
template <bool Audible> void runSongBlock(Module* module, float* mix) {
    const int32_t blockFrames = outputSettings.blockFrames;
    int32_t framesLeftInTick = module->samplesToTick;
    int32_t framesDone = 0;
    while (framesDone < blockFrames) {
        int32_t run = framesLeftInTick;
        if (framesLeftInTick == 0) {
            blockRenderer.tickFrame = framesDone;
            if (module->tickHandler != nullptr) {
                module->tickHandler(module);
            }
            // Read after the tick, so a tempo change sets its own tick's length.
            run = framesLeftInTick = module->samplesPerTick;
            if (run <= 0) {
                // No usable tick length: the rest of the block is one run and
                // the next block starts with a tick again.
                run = blockFrames - framesDone;
                framesLeftInTick = run;
            }
        }
        if (run > blockFrames - framesDone) {
            run = blockFrames - framesDone;
        }
        if constexpr (Audible) {
            mixVoices(mix + static_cast<size_t>(framesDone) * 2, run);
        } else {
            advanceVoices(run);
        }
        framesDone += run;
        framesLeftInTick -= run;
        module->elapsedMs +=
            static_cast<int32_t>(static_cast<double>(run) *
                                 static_cast<double>(outputSettings.secondsPerFrame) * 1000.0);
    }
    module->samplesToTick = framesLeftInTick;
    blockRenderer.songBlock += 1;
}

} // namespace

void renderSongBlockInto(int16_t* pcm, BlockStamp& stamp) {
    Module* module = blockRenderer.currentModule;
    if (module == nullptr || blockRenderer.mixBuffer == nullptr) {
        return;
    }
    const int32_t blockFrames = outputSettings.blockFrames;
    // Every block mixes into the start of the mix buffer: mixed and clipped
    // right away, it needs no more room, and one block's worth stays in the
    // nearest cache from block to block. It is clear when a block starts:
    // allocated zero-filled, and cleared by the clipper as it reads it.
    float* mix = blockRenderer.mixBuffer;
    runSongBlock<true>(module, mix);
    writeStamp(stamp, static_cast<uint8_t>(module->order), static_cast<uint8_t>(module->row),
               module->elapsedMs);
    clipToPcm16AndClear(pcm, mix, blockFrames);
}

void renderBlock() {
    if (blockRenderer.currentModule == nullptr || blockRenderer.mixBuffer == nullptr) {
        return;
    }
    const int32_t block = blockRenderer.renderIndex;
    const size_t firstSample = static_cast<size_t>(block) * outputSettings.blockFrames * 2;
    renderSongBlockInto(blockRenderer.outputRing + firstSample, blockRenderer.stamps[block]);
    blockRenderer.renderIndex = block + 1 < blockCount() ? block + 1 : 0;
}

void skipSongBlock() {
    if (blockRenderer.currentModule != nullptr) {
        runSongBlock<false>(blockRenderer.currentModule, nullptr);
    }
}

void stopBlockRendering() {
    releasePlayBuffers();
    blockRenderer.currentModule = nullptr;
}

void releaseOutputRing() {
    std::free(blockRenderer.outputRing);
    blockRenderer.outputRing = nullptr;
    blockRenderer.outputRingFrames = 0;
}

const int16_t* blockPcm(int32_t block) {
    if (blockRenderer.outputRing == nullptr || block < 0 || block >= blockCount()) {
        return nullptr;
    }
    return blockRenderer.outputRing + static_cast<size_t>(block) * outputSettings.blockFrames * 2;
}

} // namespace korvanthe
