// The device side of the looping ring, shared by SDL's callback and the
// sound server's write callback: the next bytes of the loop, wrapping at its
// end, or silence where no loop plays.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvanthe {

// Copies `size` bytes from `loop` (loopBytes long) at `cursor`, moving the
// cursor on; silence when loop is null.
inline void copyFromLoop(uint8_t* out, size_t size, const uint8_t* loop, uint32_t loopBytes,
                         uint32_t& cursor) {
    if (loop == nullptr) {
        std::memset(out, 0, size);
        return;
    }
    while (size > 0) {
        const size_t run = std::min<size_t>(size, loopBytes - cursor);
        std::memcpy(out, loop + cursor, run);
        out += run;
        size -= run;
        cursor += static_cast<uint32_t>(run);
        if (cursor == loopBytes) {
            cursor = 0;
        }
    }
}

} // namespace korvanthe
