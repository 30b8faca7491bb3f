#include "audio/player.h"

#include "audio/block_renderer.h"
#include "audio/block_streaming.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"

namespace korvanthe {

namespace {

constexpr int32_t PlayerSampleRate = 44100;

Module* playerModule = nullptr;

} // namespace

Module* playerLoad(const char* path) {
    // A second load would otherwise leak the first song, and leave it playing.
    if (playerModule != nullptr) {
        freeModule(playerModule);
        playerModule = nullptr;
    }
    useStandardFileCallbacks();
    // A failed open is not reported here: the song loads all the same, and
    // playerPlay refuses without a device.
    openAudio(PlayerSampleRate);
    playerModule = createModule(path);
    return playerModule;
}

Module* loadedModule() {
    return playerModule;
}

bool playerPlay() {
    return playModule(playerModule);
}

void playerStop() {
    // Forgotten once freed: a later play or query must not reach the freed song.
    freeModule(playerModule);
    playerModule = nullptr;
    closeAudio();
}

BlockStamp audibleStamp(Module* module) {
    // The stamps exist only while something plays. stampIndex is read once;
    // the streaming thread moves it on before it rewrites a stamp, so the
    // stamp read is not the one being rendered.
    if (module == nullptr || blockRenderer.stamps == nullptr) {
        return BlockStamp{};
    }
    return readStamp(blockRenderer.stamps[stampIndex.load()]);
}

int32_t audibleOrder(Module* module) {
    return audibleStamp(module).order;
}

int32_t audibleRow(Module* module) {
    return audibleStamp(module).row;
}

namespace {

// The frame of a position in the loaded song, mapping it first.
PositionRefusal playerFrame(const SongPosition& position, int64_t* frame) {
    const SongMap* map = mapPlayback(playerModule, 1);
    if (map == nullptr) {
        return PositionRefusal::OrderPastSong;
    }
    return songPositionFrame(*map, *playerModule, position, frame);
}

} // namespace

PositionRefusal playerSeek(const SongPosition& position) {
    int64_t frame = 0;
    const PositionRefusal refusal = playerFrame(position, &frame);
    if (refusal == PositionRefusal::None) {
        seekPlayback(playerModule, frame);
    }
    return refusal;
}

PositionRefusal playerLoop(const SongPosition& from, const SongPosition& to) {
    int64_t first = 0;
    int64_t end = 0;
    PositionRefusal refusal = playerFrame(from, &first);
    if (refusal == PositionRefusal::None) {
        refusal = playerFrame(to, &end);
    }
    if (refusal == PositionRefusal::None && !loopPlayback(playerModule, first, end)) {
        refusal = PositionRefusal::PastSongEnd; // an end no later than the start
    }
    return refusal;
}

void playerStopLooping() {
    stopLoopingPlayback();
}

bool playerLooping(int64_t* from, int64_t* to) {
    return playbackLooping(from, to);
}

void playerPause(bool paused) {
    pausePlayback(paused);
}

bool playerPaused() {
    return playbackPaused();
}

HeardPosition playerHeardPosition() {
    return heardPosition();
}

const SongMap* playerSongMap() {
    const SongMap* map = playbackMap();
    return map != nullptr && map->module == playerModule && playerModule != nullptr ? map : nullptr;
}

int32_t playerCurrentOrder() {
    return audibleOrder(playerModule);
}

int32_t playerCurrentRow() {
    return audibleRow(playerModule);
}

} // namespace korvanthe
