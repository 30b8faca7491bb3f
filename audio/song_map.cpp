#include "audio/song_map.h"

#include <algorithm>
#include <cstdio>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"
#include "audio/song_end_watch.h"
#include "replayer/tick_driver.h"

namespace korvanthe {

namespace {

constexpr int32_t RowsPerOrder = SongEndRows;

struct MapBuilder {
    SongMap* map;
    SongEndWatch watch;
};

// Every row tick: where the song ends, and the first frame of each row.
void observeRow(const Module* module, bool enteredOrder, void* context) {
    auto* builder = static_cast<MapBuilder*>(context);
    watchSongRow(module, enteredOrder, &builder->watch);
    if (songEndReached(builder->watch)) {
        return;
    }
    const int32_t order = module->order;
    const int32_t row = module->row;
    if (order < 0 || order >= OrderTableSize || row < 0 || row >= RowsPerOrder) {
        return;
    }
    int64_t& first = builder->map->rowFrames[static_cast<size_t>(order) * RowsPerOrder +
                                             static_cast<size_t>(row)];
    const int64_t frame =
        blockRenderer.songBlock * outputSettings.blockFrames + blockRenderer.tickFrame;
    if (first < 0) {
        first = frame;
    }
    builder->map->rowEntries.push_back(frame);
    if (enteredOrder) {
        builder->map->orderEntries.push_back(frame);
    }
}

int32_t patternRows(const Module& module, int32_t order) {
    if (module.patterns == nullptr || order < 0 || order >= module.songLength) {
        return 0;
    }
    const int32_t pattern = module.orderTable[order];
    return pattern < module.patternSlotCount ? module.patterns[pattern].rowCount : 0;
}

} // namespace

bool buildSongMap(SongMap& map, Module* module, int32_t repeats, bool withKeyframes) {
    clearSongMap(map);
    if (module == nullptr || blockRenderer.currentModule != module ||
        outputSettings.blockFrames <= 0) {
        return false;
    }
    repeats = std::max(repeats, 1);
    map.module = module;
    map.sampleRate = outputSettings.sampleRate;
    map.repeats = repeats;
    map.rowFrames.assign(static_cast<size_t>(OrderTableSize) * RowsPerOrder, -1);
    map.orderEntries.assign(1, 0); // the song starts by entering its first order entry

    MapBuilder builder{&map, {}};
    startSongEndWatch(builder.watch, repeats, 0);
    restartSongAsLoaded(*module);
    setRowObserver(observeRow, &builder);
    const int64_t blockFrames = outputSettings.blockFrames;
    const int64_t limit = int64_t{outputSettings.sampleRate} * LongestSongSeconds * repeats;
    map.endFrame = limit;
    for (;;) {
        const int64_t blockStart = blockRenderer.songBlock * blockFrames;
        if (blockStart >= limit) {
            break;
        }
        if (withKeyframes && blockRenderer.songBlock % KeyframeBlocks == 0) {
            map.keyframes.emplace_back();
            saveReplayState(*module, map.keyframes.back());
        }
        skipSongBlock();
        map.blockStamps.push_back(BlockStamp{static_cast<uint8_t>(module->order),
                                             static_cast<uint8_t>(module->row), module->elapsedMs});
        if (songEndReached(builder.watch)) {
            map.ended = true;
            map.endFrame = std::min(limit, blockStart + builder.watch.endFrame);
            map.endStamp = builder.watch.endStamp;
            break;
        }
        map.endStamp = BlockStamp{static_cast<uint8_t>(module->order),
                                  static_cast<uint8_t>(module->row), module->elapsedMs};
    }
    setRowObserver(nullptr, nullptr);
    return true;
}

void clearSongMap(SongMap& map) {
    map.module = nullptr;
    map.sampleRate = 0;
    map.repeats = 0;
    map.endFrame = 0;
    map.ended = false;
    map.endStamp = BlockStamp{};
    std::vector<int64_t>().swap(map.rowFrames);
    std::vector<int64_t>().swap(map.orderEntries);
    std::vector<int64_t>().swap(map.rowEntries);
    std::vector<BlockStamp>().swap(map.blockStamps);
    std::vector<ReplayState>().swap(map.keyframes);
}

bool songMapFits(const SongMap& map, const Module* module, int32_t repeats) {
    return map.module != nullptr && map.module == module &&
           map.sampleRate == outputSettings.sampleRate && map.repeats == std::max(repeats, 1);
}

int32_t moveToSongFrame(const SongMap& map, Module& module, int64_t frame) {
    const int64_t blockFrames = outputSettings.blockFrames;
    if (map.keyframes.empty() || frame < 0 || frame >= map.endFrame || blockFrames <= 0 ||
        blockRenderer.currentModule != &module) {
        return -1;
    }
    const int64_t block = frame / blockFrames;
    const size_t keyframe =
        std::min(static_cast<size_t>(block / KeyframeBlocks), map.keyframes.size() - 1);
    restoreReplayState(module, map.keyframes[keyframe]);
    while (blockRenderer.songBlock < block) {
        skipSongBlock();
    }
    return static_cast<int32_t>(frame - block * blockFrames);
}

PositionRefusal songPositionFrame(const SongMap& map, const Module& module,
                                  const SongPosition& position, int64_t* frame) {
    int64_t found = 0;
    switch (position.kind) {
    case SongPosition::Kind::OrderRow: {
        if (position.order < 0 || position.order >= module.songLength) {
            return PositionRefusal::OrderPastSong;
        }
        if (position.row < 0 || position.row >= patternRows(module, position.order)) {
            return PositionRefusal::RowPastPattern;
        }
        const size_t index = static_cast<size_t>(position.order) * RowsPerOrder +
                             static_cast<size_t>(position.row);
        found = index < map.rowFrames.size() ? map.rowFrames[index] : -1;
        if (found < 0) {
            return PositionRefusal::RowNeverReached;
        }
        break;
    }
    case SongPosition::Kind::Frame:
        found = position.frames;
        break;
    case SongPosition::Kind::Milliseconds:
        found = framesOfMilliseconds(position.milliseconds, map.sampleRate);
        break;
    }
    if (found < 0 || found >= map.endFrame) {
        return PositionRefusal::PastSongEnd;
    }
    *frame = found;
    return PositionRefusal::None;
}

std::string describePositionRefusal(const SongMap& map, const Module& module,
                                    const SongPosition& position, PositionRefusal refusal) {
    char text[160];
    switch (refusal) {
    case PositionRefusal::None:
        return "";
    case PositionRefusal::OrderPastSong:
        std::snprintf(text, sizeof text, "the song's orders are 0 to %d",
                      std::max(module.songLength - 1, 0));
        break;
    case PositionRefusal::RowPastPattern:
        std::snprintf(text, sizeof text, "order %d has rows 0 to %d", position.order,
                      std::max(patternRows(module, position.order) - 1, 0));
        break;
    case PositionRefusal::RowNeverReached:
        std::snprintf(text, sizeof text,
                      "the song never reaches this row when played from its start");
        break;
    case PositionRefusal::PastSongEnd: {
        const int64_t lastMs =
            millisecondsOfFrames(std::max<int64_t>(map.endFrame - 1, 0), map.sampleRate);
        std::snprintf(text, sizeof text, "past the song's end: it plays from 0:00.000 to %s",
                      describeSongPosition(SongPosition::time(lastMs)).c_str());
        break;
    }
    }
    return text;
}

bool orderStretchAt(const SongMap& map, int64_t frame, int64_t* firstFrame, int64_t* endFrame) {
    if (map.orderEntries.empty() || frame < 0 || frame >= map.endFrame) {
        return false;
    }
    const auto next = std::upper_bound(map.orderEntries.begin(), map.orderEntries.end(), frame);
    *firstFrame = *(next - 1);
    *endFrame = next != map.orderEntries.end() ? *next : map.endFrame;
    return true;
}

RowNeighbours rowsAround(const SongMap& map, int64_t frame) {
    RowNeighbours rows{-1, -1, -1};
    const auto after = std::upper_bound(map.rowEntries.begin(), map.rowEntries.end(), frame);
    if (after != map.rowEntries.end()) {
        rows.next = *after;
    }
    if (after != map.rowEntries.begin()) {
        rows.current = *(after - 1);
        if (after - 1 != map.rowEntries.begin()) {
            rows.previous = *(after - 2);
        }
    }
    return rows;
}

int64_t framesOfMilliseconds(int64_t milliseconds, int32_t sampleRate) {
    return milliseconds * sampleRate / 1000;
}

int64_t millisecondsOfFrames(int64_t frames, int32_t sampleRate) {
    return sampleRate > 0 ? frames * 1000 / sampleRate : 0;
}

} // namespace korvanthe
