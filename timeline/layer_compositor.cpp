#include "timeline/layer_compositor.h"

#include "platform/gl.h"

#include "platform/clock.h"
#include "timeline/effect_registry.h"

namespace korvanthe {

void drawLayers() {
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
            effect.elapsed =
                static_cast<int32_t>(platformMilliseconds() - effectRegistry.effectStartTime[i]);
            effect.render();
        }
    }
}

} // namespace korvanthe
