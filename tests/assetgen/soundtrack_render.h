// The generated song, loaded by our loader and played through the offline
// renderer once per test program: what the demo plays, block by block.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "audio/offline_render.h"
#include "tests/support/memory_file.h"
#include "tools/assetgen/soundtrack.h"

namespace korvanthe::testing {

struct RenderedBlock {
    int64_t firstFrame; // the block's first sound frame
    int order;          // its stamp: the position the player reports while it sounds
    int row;
};

struct SoundtrackRender {
    ModulePtr module;
    XmLoadReport report;
    std::vector<int16_t> pcm;                // interleaved stereo at 44100 Hz
    std::set<std::pair<int, int>> positions; // (order, row) of every block's stamp
    std::vector<RenderedBlock> blocks;       // in play order
};

inline const SoundtrackRender& soundtrackRender() {
    static SoundtrackRender render = [] {
        SoundtrackRender result;
        result.module = loadModuleFromBytes(writeXm(assetgen::makeSoundtrack()), &result.report);
        if (!result.module || !startOfflineRender(result.module.get(), 44100, true)) {
            return result;
        }
        OfflineBlock block;
        while (renderOfflineBlock(&block)) {
            result.blocks.push_back(
                {static_cast<int64_t>(result.pcm.size() / 2), block.stamp.order, block.stamp.row});
            result.pcm.insert(result.pcm.end(), block.pcm, block.pcm + 2 * block.frames);
            result.positions.insert({block.stamp.order, block.stamp.row});
        }
        stopOfflineRender();
        return result;
    }();
    return render;
}

} // namespace korvanthe::testing
