// One demo frame per effect: each effect drawn alone through drawLayers at
// 640 x 480 into the headless context, 20 ms of virtual time apart, with
// glFinish so the drawing itself is counted and not only its queueing. The
// texture slots hold 256 x 256 pictures, the size of the demo's own. The CPU
// column is the whole process's CPU time: Mesa's software rasteriser draws
// on threads of its own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "host/textures.h"
#include "platform/gl.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/virtual_clock.h"
#include "timeline/effect_registry.h"
#include "timeline/flash_effect.h"
#include "timeline/layer_compositor.h"
#include "timeline/random_effect.h"
#include "timeline/scroll_effect.h"
#include "timeline/text_effect.h"

namespace korvanthe {
namespace {

constexpr int PictureSize = 256;
constexpr uint32_t FrameMs = 20;

bool setUpContext() {
    static const bool ready = [] {
        if (!openHeadlessContext()) {
            return false;
        }
        std::vector<uint32_t> pixels(PictureSize * PictureSize);
        for (size_t slot = 0; slot < textures.size(); ++slot) {
            for (int i = 0; i < PictureSize * PictureSize; ++i) {
                pixels[static_cast<size_t>(i)] =
                    static_cast<uint32_t>((i * 2654435761u) >> 8) ^ static_cast<uint32_t>(slot);
            }
            textures[slot] = uploadTexture(pixels, PictureSize, PictureSize);
        }
        return true;
    }();
    return ready;
}

template <class EffectClass> void drawFrame(benchmark::State& state) {
    if (!setUpContext()) {
        state.SkipWithError("no headless GL context");
        return;
    }
    EffectClass effect;
    effect.reset();
    effect.texture = 1;
    clearEffectRegistry();
    registerEffect(effect, "bench");
    effect.active = true;
    effectRegistry.effectStartTime[0] = 1000;
    uint32_t now = 1000;
    for (auto _ : state) {
        now += FrameMs;
        setVirtualMilliseconds(now);
        drawLayers();
        glFinish();
    }
    clearEffectRegistry();
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_TEMPLATE(drawFrame, FlashEffect)
    ->Name("frame/flash")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(drawFrame, RandomEffect)
    ->Name("frame/random")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(drawFrame, TextEffect)
    ->Name("frame/text")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(drawFrame, ScrollEffect)
    ->Name("frame/scroll")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace korvanthe

BENCHMARK_MAIN();
