// The timeline: script entries keyed to song positions.
#pragma once

#include <array>
#include <cstdint>

#include "timeline/effect_event.h"

namespace korvanthe {

// One line of the script. `event` is the run command, p1, p2, p3 that
// handleEvent receives.
struct ScriptEntry {
    int32_t order;
    int32_t row;
    EffectEvent event;
    char name[32]; // zero-terminated effect name, at most 31 characters
    bool fired;    // set once delivered, never cleared
};

inline constexpr int MaxScriptEntries = 260;

// Filled once by loadScript in file order.
struct ScriptTable {
    std::array<ScriptEntry, MaxScriptEntries> entries;
    int count;
};

extern ScriptTable scriptTable;

// The code of a command word: exact, case-sensitive; CommandUnknown for any
// word that is not one of the six.
EffectCommand commandCode(const char* word);

} // namespace korvanthe
