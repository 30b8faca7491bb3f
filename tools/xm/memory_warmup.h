// korvanthe-xm's memory, made ready before a song is loaded.
#pragma once

#include <cstdint>

namespace korvanthe {

// Prepares the memory that loading and playing a song file of `fileBytes`
// bytes will take, so that its pages cost no trap into the system each when
// first written. Only where that can be done (glibc on Linux); elsewhere,
// and whenever the system says no, nothing happens and the pages are mapped
// one by one as before. Call before the load, on the tool's one thread.
void warmMemoryForSong(uint64_t fileBytes);

} // namespace korvanthe
