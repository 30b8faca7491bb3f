// How the effects find a picture in the texture table.
#pragma once

#include <cstdint>

namespace korvanthe {

// The GL texture name stored in a slot of the texture table, or 0 (no
// texture: the quads get the plain colour) for a slot outside the table.
// Never reads outside it.
unsigned int textureNameOfSlot(int64_t slot);

} // namespace korvanthe
