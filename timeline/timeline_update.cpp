#include "timeline/timeline_update.h"

#include <cstring>

#include "platform/clock.h"
#include "timeline/effect_registry.h"
#include "timeline/layer_compositor.h"
#include "timeline/script_table.h"

namespace korvanthe {

namespace {

void applyGenericAction(int slot, const EffectEvent& event, uint32_t now) {
    Effect& effect = *effectRegistry.effects[slot];
    switch (event.command) {
    case CommandResetTimer:
        effectRegistry.effectStartTime[slot] = now;
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

// The delivery loop; clock() gives "now" for a "resettimer".
template <typename Clock> void deliverEntries(int32_t order, int32_t row, Clock clock) {
    for (int e = 0; e < scriptTable.count; e++) {
        ScriptEntry& entry = scriptTable.entries[e];
        if (entry.fired || entry.order != order || entry.row != row) {
            continue;
        }
        for (int i = 0; i < effectRegistry.count; i++) {
            if (std::strcmp(effectRegistry.effects[i]->name, entry.name) == 0) {
                applyGenericAction(i, entry.event, clock());
                effectRegistry.effects[i]->handleEvent(entry.event);
            }
        }
        entry.fired = true;
    }
}

} // namespace

void deliverScriptEntries(int32_t order, int32_t row) {
    deliverEntries(order, row, [] { return platformMilliseconds(); });
}

void deliverScriptEntriesAt(int32_t order, int32_t row, uint32_t now) {
    deliverEntries(order, row, [now] { return now; });
}

void restartTimeline() {
    for (int i = 0; i < effectRegistry.count; i++) {
        Effect& effect = *effectRegistry.effects[i];
        effect.active = false;
        effect.layer = 0;
        effect.elapsed = 0;
        effect.texture = 0;
        effect.reset();
        effectRegistry.effectStartTime[i] = 0;
    }
    for (int e = 0; e < scriptTable.count; e++) {
        scriptTable.entries[e].fired = false;
    }
}

void updateFrame(int32_t order, int32_t row) {
    deliverScriptEntries(order, row);
    drawLayers();
}

} // namespace korvanthe
