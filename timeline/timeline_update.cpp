#include "timeline/timeline_update.h"

#include <cstring>

#include "platform/clock.h"
#include "timeline/effect_registry.h"
#include "timeline/layer_compositor.h"
#include "timeline/script_table.h"

namespace korvanthe {

namespace {

void applyGenericAction(int slot, const EffectEvent& event) {
    Effect& effect = *effectRegistry.effects[slot];
    switch (event.command) {
    case CommandResetTimer:
        effectRegistry.effectStartTime[slot] = platformMilliseconds();
        break;
    case CommandLayer:
        effect.layer = event.p1;
        break;
    case CommandStart:
        effect.active = true;
        break;
    case CommandStop:
        effect.active = false;
        break;
    default: // "texture", "param" and unknown words are the class's affair
        break;
    }
}

} // namespace

void deliverScriptEntries(int32_t order, int32_t row) {
    for (int e = 0; e < scriptTable.count; e++) {
        ScriptEntry& entry = scriptTable.entries[e];
        if (entry.fired || entry.order != order || entry.row != row) {
            continue;
        }
        for (int i = 0; i < effectRegistry.count; i++) {
            if (std::strcmp(effectRegistry.effects[i]->name, entry.name) == 0) {
                applyGenericAction(i, entry.event);
                effectRegistry.effects[i]->handleEvent(entry.event);
            }
        }
        entry.fired = true;
    }
}

void updateFrame(int32_t order, int32_t row) {
    deliverScriptEntries(order, row);
    drawLayers();
}

} // namespace korvanthe
