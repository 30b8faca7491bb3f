#include "audio/ring_feed.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"

namespace korvanthe {

namespace {

// What one ring block holds. Written by the feed, read by the heard-position
// lookups on other threads: deviceBlock is -1 while the other fields change,
// so a reader that sees the same device block before and after its reads has
// read one consistent record. The fields are stored with release and loaded
// with acquire: a reader that loads a field's new value also sees the -1
// stored before it, with no fence (which the thread checker cannot follow).
struct RingSlot {
    std::atomic<int64_t> deviceBlock{-1};
    std::atomic<int64_t> songFrame{0}; // song frame of the block's first frame
    std::atomic<int64_t> loopStart{0}; // the loop in force while it was fed
    std::atomic<int64_t> loopEnd{0};   // 0: none
};

// The stamp of one song block, kept for the lookups: the same scheme.
struct SongStampEntry {
    std::atomic<int64_t> songBlock{-1};
    std::atomic<int32_t> orderAndRow{0}; // order in bits 8..15, row in 0..7
    std::atomic<int32_t> elapsedMs{0};
};

constexpr int32_t KeptSongStamps = 256; // more than the ring's 100 blocks (and a few)

struct RingFeed {
    std::unique_ptr<RingSlot[]> slots;
    int32_t slotCount = 0;
    std::vector<int16_t> staging; // one whole song block, for blocks that do not line up
    int64_t stagedBlock = -1;     // the song block in staging; -1: none
    BlockStamp stagedStamp{};
    int64_t nextFrame = 0;
    bool looping = false;
    int64_t loopStart = 0;
    int64_t loopEnd = 0;
    ReplayState loopState{};
};

RingFeed feed;
SongStampEntry songStamps[KeptSongStamps];

void keepSongStamp(int64_t songBlock, const BlockStamp& stamp) {
    SongStampEntry& entry = songStamps[songBlock % KeptSongStamps];
    entry.songBlock.store(-1, std::memory_order_relaxed);
    entry.orderAndRow.store(stamp.order << 8 | stamp.row, std::memory_order_release);
    entry.elapsedMs.store(stamp.elapsedMs, std::memory_order_release);
    entry.songBlock.store(songBlock, std::memory_order_release);
}

// Renders song block `songBlock` into staging, unless it is there already.
// The renderer stands at that block (or before it: the blocks between are
// skipped); one that stands past it (never, by how the feed is driven) gives
// silence.
void stageSongBlock(int64_t songBlock) {
    if (feed.stagedBlock == songBlock) {
        return;
    }
    while (blockRenderer.songBlock < songBlock) {
        skipSongBlock();
    }
    if (blockRenderer.songBlock != songBlock) {
        std::fill(feed.staging.begin(), feed.staging.end(), int16_t{0});
        feed.stagedStamp = BlockStamp{};
    } else {
        renderSongBlockInto(feed.staging.data(), feed.stagedStamp);
        keepSongStamp(songBlock, feed.stagedStamp);
    }
    feed.stagedBlock = songBlock;
}

// Across the loop's end: on at its start, the replayer as it stands there.
void wrapLoop() {
    restoreReplayState(*blockRenderer.currentModule, feed.loopState);
    feed.nextFrame = feed.loopStart;
    feed.stagedBlock = -1;
}

// Copies the next blockFrames frames of the output into pcm out of whole
// song blocks; gives the stamp of the song block of the last frame.
BlockStamp copyFromSongBlocks(int16_t* pcm) {
    const int64_t blockFrames = outputSettings.blockFrames;
    int64_t needed = blockFrames;
    while (needed > 0) {
        if (feed.looping && feed.nextFrame >= feed.loopEnd) {
            wrapLoop();
        }
        const int64_t songBlock = feed.nextFrame / blockFrames;
        stageSongBlock(songBlock);
        const int64_t offset = feed.nextFrame - songBlock * blockFrames;
        int64_t frames = std::min(needed, blockFrames - offset);
        if (feed.looping) {
            frames = std::min(frames, feed.loopEnd - feed.nextFrame);
        }
        std::memcpy(pcm, feed.staging.data() + offset * 2,
                    static_cast<size_t>(frames) * 2 * sizeof(int16_t));
        pcm += frames * 2;
        needed -= frames;
        feed.nextFrame += frames;
    }
    return feed.stagedStamp;
}

} // namespace

bool startRingFeed(int64_t firstFrame) {
    stopRingFeed();
    const int32_t count = blockCount();
    if (count <= 0) {
        return false;
    }
    feed.slots.reset(new (std::nothrow) RingSlot[static_cast<size_t>(count)]);
    if (!feed.slots) {
        return false;
    }
    feed.slotCount = count;
    try {
        feed.staging.assign(static_cast<size_t>(outputSettings.blockFrames) * 2, 0);
    } catch (const std::bad_alloc&) {
        stopRingFeed();
        return false;
    }
    for (SongStampEntry& entry : songStamps) {
        entry.songBlock.store(-1);
    }
    continueRingFeedAt(firstFrame);
    return true;
}

void stopRingFeed() {
    feed.slots.reset();
    feed.slotCount = 0;
    std::vector<int16_t>().swap(feed.staging);
    feed.stagedBlock = -1;
    feed.nextFrame = 0;
    clearRingFeedLoop();
}

void continueRingFeedAt(int64_t frame) {
    feed.nextFrame = frame;
    feed.stagedBlock = -1;
}

int64_t ringFeedNextFrame() {
    return feed.nextFrame;
}

void setRingFeedLoop(int64_t startFrame, int64_t endFrame, const ReplayState& startState) {
    feed.looping = endFrame > startFrame && startFrame >= 0;
    feed.loopStart = startFrame;
    feed.loopEnd = endFrame;
    feed.loopState = startState;
}

void clearRingFeedLoop() {
    feed.looping = false;
    feed.loopStart = 0;
    feed.loopEnd = 0;
    feed.loopState = ReplayState{};
}

bool ringFeedLooping(int64_t* startFrame, int64_t* endFrame) {
    if (feed.looping && startFrame != nullptr) {
        *startFrame = feed.loopStart;
    }
    if (feed.looping && endFrame != nullptr) {
        *endFrame = feed.loopEnd;
    }
    return feed.looping;
}

void feedRingBlock(int64_t deviceBlock) {
    if (feed.slotCount <= 0 || blockRenderer.currentModule == nullptr ||
        blockRenderer.outputRing == nullptr || deviceBlock < 0) {
        return;
    }
    const int32_t ringBlock = static_cast<int32_t>(deviceBlock % feed.slotCount);
    RingSlot& slot = feed.slots[ringBlock];
    slot.deviceBlock.store(-1, std::memory_order_relaxed);

    if (feed.looping && feed.nextFrame >= feed.loopEnd) {
        wrapLoop();
    }
    const int64_t blockFrames = outputSettings.blockFrames;
    slot.songFrame.store(feed.nextFrame, std::memory_order_release);
    slot.loopStart.store(feed.looping ? feed.loopStart : 0, std::memory_order_release);
    slot.loopEnd.store(feed.looping ? feed.loopEnd : 0, std::memory_order_release);

    const int64_t songBlock = feed.nextFrame / blockFrames;
    const bool linesUp = feed.nextFrame % blockFrames == 0 && feed.stagedBlock != songBlock &&
                         blockRenderer.songBlock == songBlock &&
                         (!feed.looping || feed.nextFrame + blockFrames <= feed.loopEnd);
    if (linesUp) {
        blockRenderer.renderIndex = ringBlock;
        renderBlock();
        keepSongStamp(songBlock, readStamp(blockRenderer.stamps[ringBlock]));
        feed.nextFrame += blockFrames;
    } else {
        int16_t* pcm = blockRenderer.outputRing + static_cast<size_t>(ringBlock) * blockFrames * 2;
        const BlockStamp stamp = copyFromSongBlocks(pcm);
        writeStamp(blockRenderer.stamps[ringBlock], stamp.order, stamp.row, stamp.elapsedMs);
        blockRenderer.renderIndex = ringBlock + 1 < feed.slotCount ? ringBlock + 1 : 0;
    }
    slot.deviceBlock.store(deviceBlock, std::memory_order_release);
}

bool songFrameOfDeviceFrame(int64_t deviceBlock, int32_t frameInBlock, int64_t* songFrame) {
    if (feed.slotCount <= 0 || deviceBlock < 0) {
        return false;
    }
    const RingSlot& slot = feed.slots[deviceBlock % feed.slotCount];
    const int64_t before = slot.deviceBlock.load(std::memory_order_acquire);
    const int64_t first = slot.songFrame.load(std::memory_order_acquire);
    const int64_t loopStart = slot.loopStart.load(std::memory_order_acquire);
    const int64_t loopEnd = slot.loopEnd.load(std::memory_order_acquire);
    if (before != deviceBlock || slot.deviceBlock.load(std::memory_order_relaxed) != before) {
        return false;
    }
    int64_t frame = first + frameInBlock;
    if (loopEnd > loopStart && frame >= loopEnd) {
        frame = loopStart + (frame - loopEnd) % (loopEnd - loopStart);
    }
    *songFrame = frame;
    return true;
}

bool songFrameOfDeviceBlock(int64_t deviceBlock, int64_t* songFrame) {
    // A block begins before any wrap: the feed wraps before it fills one.
    return songFrameOfDeviceFrame(deviceBlock, 0, songFrame);
}

bool songStampOf(int64_t songBlock, BlockStamp* stamp) {
    if (songBlock < 0) {
        return false;
    }
    const SongStampEntry& entry = songStamps[songBlock % KeptSongStamps];
    const int64_t before = entry.songBlock.load(std::memory_order_acquire);
    const int32_t orderAndRow = entry.orderAndRow.load(std::memory_order_acquire);
    const int32_t elapsedMs = entry.elapsedMs.load(std::memory_order_acquire);
    if (before != songBlock || entry.songBlock.load(std::memory_order_relaxed) != before) {
        return false;
    }
    *stamp = BlockStamp{static_cast<uint8_t>(orderAndRow >> 8),
                        static_cast<uint8_t>(orderAndRow & 0xff), elapsedMs};
    return true;
}

} // namespace korvanthe
