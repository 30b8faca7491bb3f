#include "timeline/layer_compositor.h"

#include "platform/gl.h"

#include "platform/clock.h"
#include "timeline/effect_registry.h"

namespace korvanthe {

namespace {

// The pass; clock() is read once for each effect drawn.
template <typename Clock> void drawWith(Clock clock) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int layer = 0; layer < DrawnLayers; layer++) {
        for (int i = 0; i < effectRegistry.count; i++) {
            Effect& effect = *effectRegistry.effects[i];
            if (!effect.active || effect.layer != layer) {
                continue;
            }
            glClear(GL_DEPTH_BUFFER_BIT);
            // The clock wraps: the unsigned difference is the time since the
            // start, read afresh for each effect.
            effect.elapsed = static_cast<int32_t>(clock() - effectRegistry.effectStartTime[i]);
            effect.render();
        }
    }
}

} // namespace

void drawLayers() {
    drawWith([] { return platformMilliseconds(); });
}

void drawLayersAt(uint32_t now) {
    drawWith([now] { return now; });
}

} // namespace korvanthe
