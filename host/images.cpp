#include "host/images.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace korvanthe {

namespace {

// The whole file, or as much of it as can be read; opened is false when the
// file cannot be opened.
std::vector<uint8_t> readFileBytes(const char* path, bool& opened) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path, "rb");
    opened = file != nullptr;
    if (file == nullptr) {
        return bytes;
    }
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return bytes;
}

uint32_t readLittle16(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8;
}

constexpr size_t TargaHeaderSize = 18;
constexpr size_t TargaWidthOffset = 12;
constexpr size_t TargaHeightOffset = 14;
constexpr size_t TargaDepthOffset = 16;

// Number of pixels to store: width x height, bounded by the buffer.
size_t pixelsToStore(long long width, long long height, std::span<uint32_t> pixels) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<size_t>(std::min<long long>(width * height, pixels.size()));
}

} // namespace

bool readTarga(const char* path, std::span<uint32_t> pixels) {
    bool opened = false;
    const std::vector<uint8_t> bytes = readFileBytes(path, opened);
    if (bytes.size() < TargaHeaderSize) {
        // Missing, or too short to say what it holds: no pixel is in the file.
        std::fill(pixels.begin(), pixels.end(), 0u);
        return false;
    }
    const uint32_t width = readLittle16(bytes, TargaWidthOffset);
    const uint32_t height = readLittle16(bytes, TargaHeightOffset);
    const uint32_t depth = bytes[TargaDepthOffset];
    if (depth != 24 && depth != 32) {
        return false;
    }
    const size_t bytesPerPixel = depth / 8;
    const size_t count = pixelsToStore(width, height, pixels);
    const size_t available = (bytes.size() - TargaHeaderSize) / bytesPerPixel;
    const uint8_t* from = bytes.data() + TargaHeaderSize;
    for (size_t i = 0; i < count; ++i) {
        if (i >= available) {
            pixels[i] = 0; // past the end of a short file: black
            continue;
        }
        const uint8_t* pixel = from + i * bytesPerPixel;
        // Stored blue, green, red (, alpha): the little-endian word.
        uint32_t word =
            static_cast<uint32_t>(pixel[2]) << 16 | static_cast<uint32_t>(pixel[1]) << 8 | pixel[0];
        if (bytesPerPixel == 4) {
            word |= static_cast<uint32_t>(pixel[3]) << 24;
        }
        pixels[i] = word;
    }
    return count == static_cast<size_t>(width) * height && available >= count;
}

bool readRawRGB(const char* path, std::span<uint32_t> pixels, int width, int height) {
    bool opened = false;
    const std::vector<uint8_t> bytes = readFileBytes(path, opened);
    const size_t count = pixelsToStore(width, height, pixels);
    const size_t available = bytes.size() / 3;
    for (size_t i = 0; i < count; ++i) {
        if (i >= available) {
            pixels[i] = 0; // missing or past the end of a short file: black
            continue;
        }
        const uint8_t* pixel = bytes.data() + i * 3;
        pixels[i] =
            static_cast<uint32_t>(pixel[0]) << 16 | static_cast<uint32_t>(pixel[1]) << 8 | pixel[2];
    }
    const size_t wanted =
        width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
    return opened && count == wanted && available >= count;
}

std::string pictureFileMismatch(const char* path, bool targa, int width, int height) {
    bool opened = false;
    const std::vector<uint8_t> bytes = readFileBytes(path, opened);
    if (!opened) {
        return "cannot be opened";
    }
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (!targa) {
        if (bytes.size() != pixels * 3) {
            return "a " + std::to_string(width) + " x " + std::to_string(height) +
                   " raw picture is " + std::to_string(pixels * 3) + " bytes; this file has " +
                   std::to_string(bytes.size());
        }
        return "";
    }
    if (bytes.size() < TargaHeaderSize) {
        return "too short for a Targa file";
    }
    const uint32_t fileWidth = readLittle16(bytes, TargaWidthOffset);
    const uint32_t fileHeight = readLittle16(bytes, TargaHeightOffset);
    const uint32_t depth = bytes[TargaDepthOffset];
    if (depth != 24 && depth != 32) {
        return "a Targa file of " + std::to_string(depth) + " bits a pixel, not 24 or 32";
    }
    if (fileWidth != static_cast<uint32_t>(width) || fileHeight != static_cast<uint32_t>(height)) {
        return "a Targa file of " + std::to_string(fileWidth) + " x " + std::to_string(fileHeight) +
               " pixels, not " + std::to_string(width) + " x " + std::to_string(height);
    }
    if (bytes.size() < TargaHeaderSize + pixels * (depth / 8)) {
        return "the Targa file ends before its last pixel";
    }
    return "";
}

} // namespace korvanthe
