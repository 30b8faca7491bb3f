// The effects by name, in registration order, with their start times.
#pragma once

#include <array>
#include <cstdint>

#include "timeline/effect.h"

namespace korvanthe {

inline constexpr int MaxEffects = 32;

// One registry for the program. Slot i of effectStartTime belongs to
// effects[i]; only "resettimer" sets it (platformMilliseconds units).
struct EffectRegistry {
    std::array<Effect*, MaxEffects> effects;
    std::array<uint32_t, MaxEffects> effectStartTime;
    int count;
};

extern EffectRegistry effectRegistry;

// Stores the effect (not owned) in the next slot, copies the name (at most 31
// characters kept) and makes it inactive. Returns false, registering nothing,
// when all 32 slots are taken. First thread.
bool registerEffect(Effect& effect, const char* name);

// Calls reset on every registered effect in slot order. First thread.
void resetAllEffects();

// Empties the registry and zeroes the start times (program start state), for
// tests and tools that build more than one demo in one process.
void clearEffectRegistry();

} // namespace korvanthe
