#include "tools/assetgen/png_encoder.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace korvanthe::assetgen {

namespace {

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> CrcTable = makeCrcTable();

void putBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// Length, type, data and the CRC-32 over type and data.
void putChunk(std::vector<uint8_t>& out, std::string_view type, std::span<const uint8_t> data) {
    putBigEndian32(out, static_cast<uint32_t>(data.size()));
    const size_t typeStart = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = typeStart; i < out.size(); ++i) {
        crc = CrcTable[(crc ^ out[i]) & 0xFF] ^ (crc >> 8);
    }
    putBigEndian32(out, crc ^ 0xFFFFFFFFu);
}

// A zlib stream of stored deflate blocks (at most 65535 bytes each) with its
// Adler-32 check.
std::vector<uint8_t> zlibStored(std::span<const uint8_t> data) {
    constexpr size_t MaxStoredBlock = 65535;
    std::vector<uint8_t> out = {0x78, 0x01}; // deflate, 32 KiB window; header check bits
    size_t offset = 0;
    do {
        const size_t length = std::min(MaxStoredBlock, data.size() - offset);
        const bool last = offset + length == data.size();
        out.push_back(last ? 1 : 0); // BFINAL, BTYPE 00 (stored)
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(offset),
                   data.begin() + static_cast<ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < data.size());
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian32(out, (b << 16) | a);
    return out;
}

} // namespace

std::vector<uint8_t> encodePngRgba(int width, int height, std::span<const uint8_t> rgba) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    // Each row starts with its filter type, 0 (none).
    std::vector<uint8_t> scanlines;
    scanlines.reserve((rowBytes + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        scanlines.push_back(0);
        auto row = rgba.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y));
        scanlines.insert(scanlines.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
    }

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBigEndian32(header, static_cast<uint32_t>(width));
    putBigEndian32(header, static_cast<uint32_t>(height));
    constexpr uint8_t BitDepth = 8;
    constexpr uint8_t ColourTypeRgba = 6;
    header.insert(header.end(),
                  {BitDepth, ColourTypeRgba, 0, 0, 0}); // deflate, adaptive, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(scanlines));
    putChunk(png, "IEND", {});
    return png;
}

} // namespace korvanthe::assetgen
