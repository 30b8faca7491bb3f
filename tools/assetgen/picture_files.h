// The two picture formats the demo reads: an uncompressed 24-bit Targa file
// and a headerless raw RGB file.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assetgen/canvas.h"

namespace korvanthe::assetgen {

// An uncompressed true-colour Targa (image type 2, no identification field,
// no colour map), 24 bits per pixel stored blue, green, red. The top row is
// stored first and the descriptor's top-left origin bit says so.
std::vector<uint8_t> encodeTarga24(const Canvas& canvas);

// Red, green, blue per pixel, top row first, nothing else.
std::vector<uint8_t> encodeRawRgb(const Canvas& canvas);

} // namespace korvanthe::assetgen
