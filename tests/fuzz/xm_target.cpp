#include <algorithm>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"
#include "module/module.h"
#include "module/xm_loader.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/support/memory_file.h"
#include "tests/support/module_invariants.h"
#if KORVANTHE_FUZZ_XM_API
#include "include/korvanthe/xm.h"
#endif

namespace korvanthe::fuzzing {

namespace {

// A lower rate than the demo's: the same code paths, more ticks per second
// of fuzzing.
constexpr int32_t FuzzSampleRate = 22050;
constexpr int32_t RenderedBlocks = 150; // 3 seconds of 20 ms blocks

// Tempo and start position from the input's last four bytes.
void chooseStart(Module& module, const uint8_t* data, size_t size) {
    if (size < 4) {
        return;
    }
    const uint8_t* choice = data + size - 4;
    module.defaultSpeed = static_cast<int16_t>(choice[0] % 32); // 0..31
    module.defaultBpm = static_cast<int16_t>(choice[1]);        // 0..255
    module.nextOrder = choice[2] % module.songLength;
    module.nextRow = choice[3];
}

void renderSong(Module& module, const uint8_t* data, size_t size) {
    configureOutput(FuzzSampleRate);
    require(startBlockRendering(&module), "rendering did not start");
    chooseStart(module, data, size);
    int32_t elapsedBefore = 0;
    for (int32_t block = 0; block < RenderedBlocks; ++block) {
        const int32_t index = blockRenderer.renderIndex;
        renderBlock();
        const BlockStamp stamp = blockRenderer.stamps[index];
        require(stamp.elapsedMs >= elapsedBefore, "song time went backwards");
        require(module.order >= 0 && module.order < module.songLength, "order outside the song");
        elapsedBefore = stamp.elapsedMs;
    }
    stopBlockRendering();
    releaseOutputRing();
}

#if KORVANTHE_FUZZ_XM_API
// The same bytes through the C interface's memory reader: the same refusal,
// or the same song, which then renders a second of sound looping on (no map
// needed) in calls that end inside blocks.
void loadThroughInterface(const uint8_t* data, size_t size, const Module* module,
                          LoadError error) {
    int code = -1;
    korvanthe_xm_song* song = korvanthe_xm_load_memory(data, size, &code);
    require(code == static_cast<int>(error), "the interface's refusal is not the loader's");
    if (module == nullptr) {
        require(song == nullptr, "the interface loaded what the loader refused");
        return;
    }
    require(song != nullptr, "the interface refused what the loader loaded");
    korvanthe_xm_info info{};
    require(korvanthe_xm_get_info(song, &info) == KORVANTHE_XM_OK, "no facts of a loaded song");
    require(info.channels == module->channelCount && info.orders == module->songLength &&
                info.instruments == module->instrumentCount,
            "the interface's song is not the loader's");
    require(korvanthe_xm_render_start(song, FuzzSampleRate, nullptr, 1) == KORVANTHE_XM_OK,
            "the interface's render did not start");
    int16_t pcm[2 * 1000];
    for (int32_t call = 0; call < FuzzSampleRate / 1000; ++call) {
        require(korvanthe_xm_render(song, pcm, 1000, nullptr, 0, nullptr) == 1000,
                "a looping render stopped");
    }
    korvanthe_xm_free(song);
}
#endif

} // namespace

void fuzzXmLoader(const uint8_t* data, size_t size) {
    XmLoadReport report;
    testing::ModulePtr module = testing::loadModuleFromBytes({data, data + size}, &report);
#if KORVANTHE_FUZZ_XM_API
    loadThroughInterface(data, size, module.get(), report.error);
#endif
    if (module == nullptr) {
        require(report.error != LoadError::None, "a refusal without a reason");
        return;
    }
    require(report.error == LoadError::None, "a load that succeeded with an error");
    const char* problem = testing::findUnplayable(*module);
    require(problem == nullptr, problem);
    renderSong(*module, data, size);
}

} // namespace korvanthe::fuzzing
