#include "timeline/texture_slot.h"

#include "host/textures.h"

namespace korvanthe {

// Safe behaviour: a text step or scroll texture past the table binds nothing
// rather than reading beyond it (pinned by the text and scroll pixel tests).
unsigned int textureNameOfSlot(int64_t slot) {
    if (slot < 0 || slot >= static_cast<int64_t>(textures.size())) {
        return 0;
    }
    return textures[static_cast<size_t>(slot)];
}

} // namespace korvanthe
