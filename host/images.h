// The picture readers. Both fill a pixel buffer: width x height words, row
// after row, each row left to right, a word holding red in bits 16-23, green
// in 8-15 and blue in 0-7 (bits 24-31: 0, or alpha for 32-bit Targa files).
// The caller owns the buffer; a reader never writes past its end. First
// thread (any thread, in fact: they touch no shared state).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace korvanthe {

// Reads an uncompressed 24- or 32-bit true-colour Targa file without
// identification field or colour map; the rows go into the buffer in file
// order (the origin bit is not consulted). At most pixels.size() words are
// stored. A missing or short file leaves the pixels it does not hold black;
// another pixel depth leaves the buffer as it was. True when the file held
// every pixel in a depth it can read.
bool readTarga(const char* path, std::span<uint32_t> pixels);

// Reads a headerless raw file of width x height pixels of three bytes each
// (red, green, blue) in row order. At most pixels.size() words are stored; a
// missing or short file leaves the pixels it does not hold black. True when
// the file held every pixel.
bool readRawRGB(const char* path, std::span<uint32_t> pixels, int width, int height);

// Why the file at `path` is not a picture of width x height as its reader
// takes it, in a few words ("no such file", "a 512 x 256 raw picture is
// 393216 bytes; this file has 1000", "a Targa file of 128 x 128 pixels, not
// 256 x 256"); empty when it is one. For a tool that takes a changed picture
// in only when it fits (author mode).
std::string pictureFileMismatch(const char* path, bool targa, int width, int height);

} // namespace korvanthe
