#include "audio/block_streaming.h"

#include <system_error>
#include <thread>

#include "audio/block_renderer.h"
#include "audio/mixer.h"
#include "audio/output_settings.h"
#include "module/file_callbacks.h"
#include "platform/audio_output.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace korvanthe {

std::atomic<bool> stopRequested{false};
std::atomic<bool> renderInProgress{false};
std::atomic<bool> threadFinished{true};
std::atomic<int32_t> stampIndex{0};

namespace {

constexpr uint32_t PollMilliseconds = 5;

std::thread streamingThread;

int32_t nextBlock(int32_t block) {
    return block + 1 < blockCount() ? block + 1 : 0;
}

// Tells the device that block `block` of the ring holds new sound.
void announceBlock(int32_t block) {
    const uint32_t blockBytes = static_cast<uint32_t>(outputSettings.blockFrames) * 4;
    audioLoopWritten(static_cast<uint32_t>(block) * blockBytes, blockBytes);
}

// Ends the thread and the rendering, and silences the device before the ring
// it reads goes away.
void stopPlayback() {
    stopRequested.store(true);
    while (renderInProgress.load()) {
        // A block render is short: spinning is the quickest way out.
    }
    if (streamingThread.joinable()) {
        streamingThread.join();
    }
    threadFinished.store(true);
    resetAudioOutput();
    stopBlockRendering();
    releaseOutputRing();
    // The voices still point at the song's samples; none may be mixed again
    // once the song is freed.
    if (outputSettings.sampleRate > 0) {
        resetVoices(outputSettings.sampleRate);
    }
}

// Renders each block from renderIndex up to the one before the block
// playing, never the playing block itself. While the device plays block 0
// or 1 this catches up across the end of the ring; with the device at block
// 2 or later, a renderIndex above it renders nothing until the device comes
// round to it again.
void refillBehind(uint64_t playedBytes) {
    const int32_t frame =
        static_cast<int32_t>((playedBytes >> 2) % static_cast<uint64_t>(outputSettings.ringFrames));
    const int32_t playing = frame / outputSettings.blockFrames;
    const int32_t previous = playing == 0 ? blockCount() - 1 : playing - 1;
    while (blockRenderer.renderIndex != playing &&
           (blockRenderer.renderIndex <= previous || previous == 0) && !stopRequested.load()) {
        renderInProgress.store(true);
        // Moved on before the render, so that a query never reads the stamp
        // being rewritten (stampIndex equals renderIndex here).
        stampIndex.store(nextBlock(stampIndex.load()));
        const int32_t block = blockRenderer.renderIndex;
        renderBlock();
        announceBlock(block);
        renderInProgress.store(false);
    }
}

} // namespace

bool openAudio(int32_t sampleRate) {
    if (!fileCallbacksRegistered()) {
        return false;
    }
    closeAudio();
    if (!openAudioOutput(sampleRate)) {
        return false;
    }
    configureOutput(sampleRate);
    resetVoices(sampleRate);
    return true;
}

bool audioIsOpen() {
    return audioOutputIsOpen();
}

void closeAudio() {
    stopPlayback();
    closeAudioOutput();
}

bool playModule(Module* module) {
    if (module == nullptr) {
        return false;
    }
    stopPlayback();
    // The ring geometry exists only after a successful open.
    if (!audioOutputIsOpen() || blockCount() <= 0) {
        return false;
    }
    if (!startBlockRendering(module)) {
        return false;
    }
    // The whole ring is rendered before any sound; renderIndex comes back to 0.
    for (int32_t block = 0; block < blockCount(); ++block) {
        renderBlock();
    }
    stampIndex.store(0);
    const uint32_t ringBytes = static_cast<uint32_t>(outputSettings.ringFrames) * 4;
    if (!startAudioLoop(blockRenderer.outputRing, ringBytes)) {
        stopPlayback();
        return false;
    }
    stopRequested.store(false);
#if defined(__EMSCRIPTEN__)
    // The page has no second thread: its timers call refillStreaming.
    return true;
#else
    threadFinished.store(false);
    try {
        streamingThread = std::thread(streamThread);
    } catch (const std::system_error&) {
        stopPlayback();
        return false;
    }
    return true;
#endif
}

bool stopModule(Module* module) {
    if (module == nullptr) {
        return false;
    }
    stopPlayback();
    return true;
}

void refillStreaming() {
    uint64_t playedBytes = 0;
    // A device that cannot tell its position gets asked again next poll.
    if (!stopRequested.load() && audioPlayPositionBytes(&playedBytes)) {
        refillBehind(playedBytes);
    }
}

void streamThread() {
    makeCurrentThreadTimeCritical();
    while (!stopRequested.load()) {
        refillStreaming();
        platformSleep(PollMilliseconds);
    }
    threadFinished.store(true);
}

} // namespace korvanthe
