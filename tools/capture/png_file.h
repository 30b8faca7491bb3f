// 8-bit RGB PNG files of captured frames, written without time stamps or
// other varying chunks, so that the same pixels give the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvanthe {

// Writes width x height words 0x00RRGGBB (row 0 the top) as an RGB PNG.
// False, with the reason in error, when the file cannot be written.
bool writePng(const std::string& path, std::span<const uint32_t> pixels, int width, int height,
              std::string& error);

// Reads an 8-bit RGB or RGBA PNG into words 0x00RRGGBB. False when the file is
// missing or not such a PNG.
bool readPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);

} // namespace korvanthe
