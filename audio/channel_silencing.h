// Channels that play but are not heard (the tools' --mute and --solo, and
// the C interface's): a tick handler wrapped around the song's own silences
// their voices after every tick, so the other channels mix to exactly the
// values they would have anyway, and the silenced ones move on as if heard.
//
// One song at a time; rendering thread, like the tick handler itself, and
// set or cleared only while the song is neither rendered nor played.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace korvanthe {

// Wraps song's tick handler: bit i of `silenced` silences channel i (0-based).
// Replaces an earlier wrapping of another song (which gets its own handler
// back). A song without a tick handler is left alone.
void silenceChannels(Module* song, uint32_t silenced);

// Gives song its own tick handler back; nothing when it is not wrapped.
void unsilenceChannels(Module* song);

} // namespace korvanthe
