// The desktop icon: the title's sunset and chrome lettering condensed into a
// rounded square, transparent around it.
#pragma once

#include <cstdint>
#include <vector>

namespace korvanthe::assetgen {

constexpr int IconSize = 256; // pixels on each side
constexpr const char* IconFileName = "korvanthe.png";

// The icon as a PNG file of IconSize x IconSize RGBA pixels.
std::vector<uint8_t> makeIconPng();

} // namespace korvanthe::assetgen
