#include "audio/block_streaming.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "audio/block_renderer.h"
#include "audio/mixer.h"
#include "audio/output_settings.h"
#include "audio/replay_state.h"
#include "audio/ring_feed.h"
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

// A rewrite of the ring after a move begins this many blocks after the one
// the device is taking: the device goes on taking sound while the rest of
// the ring is rendered, and must never meet a block half rewritten.
constexpr int64_t RewriteMarginBlocks = 1;

struct Streaming {
    std::thread thread;
    Module* module = nullptr; // playing; null when stopped
    // Device blocks fed so far, counted from the loop's start: the next block
    // fed is this one. Only the rendering side touches it.
    int64_t fedBlocks = 0;
    SongMap map;
    Module* startModule = nullptr; // the module a seek while stopped was for
    int64_t startFrame = 0;        // where its next play begins
    bool paused = false;
    bool byCaller = !platformHasThreads(); // the page's timers call refillStreaming
    HeardPosition lastHeard{};
};

Streaming streaming;

// Tells the device that block `block` of the ring holds new sound.
void announceBlock(int32_t block) {
    const uint32_t blockBytes = static_cast<uint32_t>(outputSettings.blockFrames) * 4;
    audioLoopWritten(static_cast<uint32_t>(block) * blockBytes, blockBytes);
}

void feedDeviceBlock(int64_t deviceBlock) {
    feedRingBlock(deviceBlock);
    announceBlock(static_cast<int32_t>(deviceBlock % blockCount()));
}

// Ends the thread and waits for it; the device plays on.
void haltThread() {
    stopRequested.store(true);
    while (renderInProgress.load()) {
        // A block render is short: spinning is the quickest way out.
    }
    if (streaming.thread.joinable()) {
        streaming.thread.join();
    }
    threadFinished.store(true);
}

bool startThread() {
    stopRequested.store(false);
    if (streaming.byCaller) {
        return true;
    }
    threadFinished.store(false);
    try {
        streaming.thread = std::thread(streamThread);
    } catch (const std::system_error&) {
        threadFinished.store(true);
        return false;
    }
    return true;
}

// Ends the thread and the rendering, and silences the device before the ring
// it reads goes away.
void stopPlayback() {
    haltThread();
    resetAudioOutput();
    stopRingFeed();
    stopBlockRendering();
    releaseOutputRing();
    streaming.module = nullptr;
    streaming.lastHeard = HeardPosition{};
    // The voices still point at the song's samples; none may be mixed again
    // once the song is freed.
    if (outputSettings.sampleRate > 0) {
        resetVoices(outputSettings.sampleRate);
    }
}

// Feeds every device block from the last one fed up to the one before the
// block playing, never the playing block itself, counting blocks from the
// loop's start so that the end of the ring is no different from any other
// place in it. After a stall longer than the whole ring the device has
// played every block at least once more than it was fed: what it plays now
// stays as it is, and the song goes on, from where the feed stood, with the
// next block.
void refillBehind(uint64_t playedBytes) {
    const int64_t count = blockCount();
    const int64_t playing =
        static_cast<int64_t>(playedBytes >> 2) / outputSettings.blockFrames;
    streaming.fedBlocks = std::max(streaming.fedBlocks, playing + 1);
    // Moved on before the renders, so that a query never reads the stamp
    // being rewritten: the playing block is never rendered here.
    stampIndex.store(static_cast<int32_t>(playing % count));
    while (streaming.fedBlocks < playing + count && !stopRequested.load()) {
        renderInProgress.store(true);
        feedDeviceBlock(streaming.fedBlocks);
        streaming.fedBlocks += 1;
        renderInProgress.store(false);
    }
}

// The first device block a rewrite of the ring may change: one after the
// block the device is taking, and after the one it plays.
int64_t firstRewritableBlock() {
    const int64_t blockFrames = outputSettings.blockFrames;
    uint64_t played = 0;
    uint64_t taken = 0;
    audioPlayPositionBytes(&played);
    if (!audioTakenBytes(&taken)) {
        taken = played;
    }
    const int64_t playing = static_cast<int64_t>(played >> 2) / blockFrames;
    const int64_t taking = static_cast<int64_t>(std::max(taken, played) >> 2) / blockFrames;
    // Ahead of the device by no more than the ring, less the playing block.
    return std::min(taking + 1 + RewriteMarginBlocks, playing + blockCount() - 1);
}

// Rewrites the ring from the first block the device has not taken: the
// renderer stands at the start of the song block of songFrame, the output
// goes on with songFrame.
void refeedFrom(int64_t songFrame) {
    const int64_t first = firstRewritableBlock();
    continueRingFeedAt(songFrame);
    streaming.fedBlocks = first;
    uint64_t played = 0;
    if (audioPlayPositionBytes(&played)) {
        refillBehind(played);
    }
}

// The song frame the first rewritable block holds now (or would hold next).
int64_t songFrameAtFirstRewritableBlock() {
    const int64_t first = firstRewritableBlock();
    int64_t frame = 0;
    if (first < streaming.fedBlocks && songFrameOfDeviceBlock(first, &frame)) {
        return frame;
    }
    return ringFeedNextFrame();
}

bool mapFits(const Module* module) {
    return songMapFits(streaming.map, module, streaming.map.repeats);
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
    // The map stays: it is of a song at a rate, not of the device, and
    // stopModule (every freeModule) forgets it.
    streaming.startModule = nullptr;
    streaming.paused = false;
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
    int64_t firstFrame = 0;
    if (streaming.startModule == module && mapFits(module) &&
        moveToSongFrame(streaming.map, *module, streaming.startFrame) >= 0) {
        firstFrame = streaming.startFrame;
    }
    streaming.startModule = nullptr;
    if (!startRingFeed(firstFrame)) {
        stopPlayback();
        return false;
    }
    streaming.module = module;
    // The whole ring is rendered before any sound; from the song's start each
    // ring block is one song block, rendered in place.
    for (int64_t block = 0; block < blockCount(); ++block) {
        feedRingBlock(block);
    }
    streaming.fedBlocks = blockCount();
    stampIndex.store(0);
    const uint32_t ringBytes = static_cast<uint32_t>(outputSettings.ringFrames) * 4;
    if (!startAudioLoop(blockRenderer.outputRing, ringBytes) || !startThread()) {
        stopPlayback();
        return false;
    }
    return true;
}

bool stopModule(Module* module) {
    if (module == nullptr) {
        return false;
    }
    stopPlayback();
    clearSongMap(streaming.map);
    streaming.startModule = nullptr;
    if (streaming.paused) {
        streaming.paused = false;
        pauseAudioOutput(false);
    }
    return true;
}

void forgetModule(const Module* module) {
    if (module == nullptr) {
        return;
    }
    if (streaming.module == module || blockRenderer.currentModule == module) {
        stopModule(const_cast<Module*>(module));
    }
    if (streaming.map.module == module) {
        clearSongMap(streaming.map);
    }
    if (streaming.startModule == module) {
        streaming.startModule = nullptr;
    }
}

void refillStreaming() {
    uint64_t playedBytes = 0;
    // A device that cannot tell its position gets asked again next poll.
    if (!stopRequested.load() && streaming.module != nullptr &&
        audioPlayPositionBytes(&playedBytes)) {
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

void setStreamingByCaller(bool byCaller) {
    streaming.byCaller = byCaller || !platformHasThreads();
}

const SongMap* mapPlayback(Module* module, int32_t repeats) {
    if (module == nullptr || blockCount() <= 0) {
        return nullptr;
    }
    if (songMapFits(streaming.map, module, repeats)) {
        return &streaming.map;
    }
    if (streaming.module == module) {
        // The map replays the song from its start on the renderer; the ring
        // ahead is then rendered again from where it stood, the same sound.
        haltThread();
        const int64_t frame = songFrameAtFirstRewritableBlock();
        buildSongMap(streaming.map, module, repeats, true);
        if (moveToSongFrame(streaming.map, *module, frame) >= 0) {
            refeedFrom(frame);
        } else {
            // Played past what the map covers (the song plays on after its
            // end): on from the song's start, as the song itself would go.
            restartSongAsLoaded(*module);
            refeedFrom(0);
        }
        startThread();
    } else if (streaming.module == nullptr) {
        if (!startBlockRendering(module)) {
            return nullptr;
        }
        buildSongMap(streaming.map, module, repeats, true);
        stopBlockRendering();
        restartSongAsLoaded(*module);
    } else {
        return nullptr; // another song plays
    }
    return &streaming.map;
}

const SongMap* playbackMap() {
    return streaming.map.module != nullptr ? &streaming.map : nullptr;
}

bool seekPlayback(Module* module, int64_t songFrame) {
    if (module == nullptr || !mapFits(module) || songFrame < 0 ||
        songFrame >= streaming.map.endFrame) {
        return false;
    }
    if (streaming.module != module) {
        streaming.startModule = module;
        streaming.startFrame = songFrame;
        return true;
    }
    haltThread();
    moveToSongFrame(streaming.map, *module, songFrame);
    refeedFrom(songFrame);
    startThread();
    return true;
}

void pausePlayback(bool paused) {
    streaming.paused = paused;
    pauseAudioOutput(paused);
}

bool playbackPaused() {
    return streaming.paused;
}

bool loopPlayback(Module* module, int64_t startFrame, int64_t endFrame) {
    if (module == nullptr || streaming.module != module || !mapFits(module) || startFrame < 0 ||
        endFrame <= startFrame || endFrame > streaming.map.endFrame) {
        return false;
    }
    haltThread();
    const int64_t frame = songFrameAtFirstRewritableBlock();
    ReplayState startState;
    moveToSongFrame(streaming.map, *module, startFrame);
    saveReplayState(*module, startState);
    setRingFeedLoop(startFrame, endFrame, startState);
    // Past the loop's end already: the feed goes back to its start at once.
    if (frame < endFrame) {
        moveToSongFrame(streaming.map, *module, frame);
    }
    refeedFrom(frame);
    startThread();
    return true;
}

void stopLoopingPlayback() {
    if (!ringFeedLooping() || streaming.module == nullptr) {
        clearRingFeedLoop();
        return;
    }
    haltThread();
    const int64_t frame = songFrameAtFirstRewritableBlock();
    clearRingFeedLoop();
    if (moveToSongFrame(streaming.map, *streaming.module, frame) >= 0) {
        refeedFrom(frame);
    }
    startThread();
}

bool playbackLooping(int64_t* startFrame, int64_t* endFrame) {
    return ringFeedLooping(startFrame, endFrame);
}

HeardPosition heardPosition() {
    if (streaming.module == nullptr) {
        return HeardPosition{};
    }
    uint64_t played = 0;
    if (!audioPlayPositionBytes(&played)) {
        return streaming.lastHeard;
    }
    const int64_t frames = static_cast<int64_t>(played >> 2);
    const int64_t block = frames / outputSettings.blockFrames;
    const int32_t inBlock = static_cast<int32_t>(frames % outputSettings.blockFrames);
    int64_t songFrame = 0;
    if (songFrameOfDeviceFrame(block, inBlock, &songFrame)) {
        BlockStamp stamp{};
        if (!songStampOf(songFrame / outputSettings.blockFrames, &stamp)) {
            stamp = readStamp(blockRenderer.stamps[block % blockCount()]);
        }
        streaming.lastHeard = HeardPosition{songFrame, stamp, true};
    }
    return streaming.lastHeard;
}

} // namespace korvanthe
