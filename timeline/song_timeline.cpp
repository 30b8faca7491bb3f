#include "timeline/song_timeline.h"

#include <algorithm>
#include <utility>

#include "timeline/layer_compositor.h"
#include "timeline/timeline_update.h"

namespace korvanthe {

namespace {

struct SongTimeline {
    std::vector<SongBlockPosition> positions;
    int32_t blockFrames = 1;
    int32_t sampleRate = 1;
    int64_t nextBlock = 0; // the next song block to deliver
};

SongTimeline timeline;

} // namespace

void startSongTimeline(std::vector<SongBlockPosition> positions, int32_t blockFrames,
                       int32_t sampleRate) {
    timeline.positions = std::move(positions);
    timeline.blockFrames = blockFrames > 0 ? blockFrames : 1;
    timeline.sampleRate = sampleRate > 0 ? sampleRate : 1;
    timeline.nextBlock = 0;
    restartTimeline();
}

void followSong(int64_t heardFrame, int32_t heardOrder, int32_t heardRow) {
    const int64_t heardBlock = heardFrame >= 0 ? heardFrame / timeline.blockFrames : 0;
    if (heardBlock + 1 < timeline.nextBlock) {
        restartTimeline();
        timeline.nextBlock = 0;
    }
    for (int64_t block = timeline.nextBlock; block <= heardBlock; ++block) {
        int32_t order = heardOrder;
        int32_t row = heardRow;
        if (block < static_cast<int64_t>(timeline.positions.size())) {
            order = timeline.positions[static_cast<size_t>(block)].order;
            row = timeline.positions[static_cast<size_t>(block)].row;
        }
        deliverScriptEntriesAt(order, row, songTimelineClock(block * timeline.blockFrames));
    }
    timeline.nextBlock = std::max(timeline.nextBlock, heardBlock + 1);
}

uint32_t songTimelineClock(int64_t frame) {
    return static_cast<uint32_t>(frame * 1000 / timeline.sampleRate);
}

void drawSongFrame(int64_t heardFrame) {
    drawLayersAt(songTimelineClock(heardFrame));
}

void restartSongTimeline() {
    restartTimeline();
    timeline.nextBlock = 0;
}

int64_t songTimelineBlocks() {
    return timeline.nextBlock;
}

} // namespace korvanthe
