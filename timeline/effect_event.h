// The command a timeline entry carries to an effect.
#pragma once

#include <cstdint>

namespace korvanthe {

// The codes of the script's command words. Any other word reads as
// CommandUnknown; it still reaches handleEvent, where no effect reacts to it.
enum EffectCommand : int32_t {
    CommandUnknown = -1,
    CommandResetTimer = 0, // "resettimer"
    CommandTexture = 1,    // "texture"
    CommandParam = 2,      // "param"
    CommandLayer = 3,      // "layer"
    CommandStart = 4,      // "start"
    CommandStop = 5,       // "stop"
};

// The four integers of a script entry that an effect sees. p3 is read and
// stored; no effect uses it.
struct EffectEvent {
    EffectCommand command;
    int32_t p1;
    int32_t p2;
    int32_t p3;
};

} // namespace korvanthe
