// PNG files of 8-bit RGBA pictures, written without compression: the only
// one the generator writes is the desktop icon, small enough that a deflate
// coder of its own (or a compression library to depend on) buys nothing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace korvanthe::assetgen {

// Red, green, blue and alpha per pixel, top row first, as a PNG (colour type
// 6, no interlace) whose zlib stream holds stored blocks. No time stamp or
// other varying chunk: the same pixels give the same bytes. `rgba` holds
// width x height x 4 bytes.
std::vector<uint8_t> encodePngRgba(int width, int height, std::span<const uint8_t> rgba);

} // namespace korvanthe::assetgen
