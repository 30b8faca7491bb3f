// A song whose every block sounds unlike the others, and its offline render
// to hold live playback against, frame by frame and stamp by stamp.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/offline_render.h"
#include "module/module.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::testing {

// One note a row, every row higher and at another volume, speed 3 at BPM
// 125 (2646 frames a row at 44100 Hz), four orders of one 64-row pattern:
// about 15 seconds.
inline XmSong risingSong() {
    XmSong song;
    song.channelCount = 1;
    song.defaultSpeed = 3;
    song.defaultBpm = 125;
    song.orders = {0, 0, 0, 0};
    XmSample sine = XmSample::sine16(60, 300);
    sine.loop = XmLoop::Forward;
    sine.loopLength = 300;
    song.instruments.push_back(XmInstrument::withSample(sine));
    XmPattern& pattern = song.addPattern(64);
    for (int row = 0; row < 64; ++row) {
        pattern.at(row, 0) = {static_cast<uint8_t>(20 + row), 1,
                              static_cast<uint8_t>(0x10 + row % 48), 0, 0};
    }
    return song;
}

inline bool sameStamp(const BlockStamp& a, const BlockStamp& b) {
    return a.order == b.order && a.row == b.row && a.elapsedMs == b.elapsedMs;
}

// What the offline render of a song gives for its first `count` blocks.
struct Reference {
    std::vector<BlockStamp> stamps;             // block by block
    std::vector<std::vector<int16_t>> blockPcm; // block by block
    std::vector<int16_t> pcm;                   // all of it, interleaved

    // Frames [first, first + count) of the render.
    std::vector<int16_t> frames(int64_t first, int64_t count) const {
        return {pcm.begin() + first * 2, pcm.begin() + (first + count) * 2};
    }
};

inline Reference renderReference(Module& song, int32_t count, int32_t rate = 44100) {
    Reference reference;
    EXPECT_TRUE(startOfflineRender(&song, rate, false));
    OfflineBlock block{};
    for (int32_t i = 0; i < count && renderOfflineBlock(&block); ++i) {
        reference.stamps.push_back(block.stamp);
        reference.blockPcm.emplace_back(block.pcm, block.pcm + 2 * block.frames);
        reference.pcm.insert(reference.pcm.end(), block.pcm, block.pcm + 2 * block.frames);
    }
    stopOfflineRender();
    return reference;
}

} // namespace korvanthe::testing
