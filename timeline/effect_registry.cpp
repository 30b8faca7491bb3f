#include "timeline/effect_registry.h"

#include <cstring>

namespace korvanthe {

EffectRegistry effectRegistry{};

bool registerEffect(Effect& effect, const char* name) {
    if (effectRegistry.count >= MaxEffects) {
        return false;
    }
    std::strncpy(effect.name, name, sizeof(effect.name) - 1);
    effect.name[sizeof(effect.name) - 1] = '\0';
    effect.active = false;
    effectRegistry.effects[effectRegistry.count] = &effect;
    effectRegistry.count++;
    return true;
}

void resetAllEffects() {
    for (int i = 0; i < effectRegistry.count; i++) {
        effectRegistry.effects[i]->reset();
    }
}

void clearEffectRegistry() {
    effectRegistry = EffectRegistry{};
}

} // namespace korvanthe
