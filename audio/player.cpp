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

int32_t playerCurrentOrder() {
    return audibleOrder(playerModule);
}

int32_t playerCurrentRow() {
    return audibleRow(playerModule);
}

} // namespace korvanthe
