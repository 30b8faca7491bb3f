#include "tools/assetgen/picture_files.h"

namespace korvanthe::assetgen {

std::vector<uint8_t> encodeTarga24(const Canvas& canvas) {
    constexpr uint8_t ImageTypeTrueColour = 2;
    constexpr uint8_t DescriptorTopLeft = 0x20;
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = ImageTypeTrueColour;
    bytes[12] = static_cast<uint8_t>(canvas.width & 0xFF);
    bytes[13] = static_cast<uint8_t>(canvas.width >> 8);
    bytes[14] = static_cast<uint8_t>(canvas.height & 0xFF);
    bytes[15] = static_cast<uint8_t>(canvas.height >> 8);
    bytes[16] = 24;
    bytes[17] = DescriptorTopLeft;
    std::vector<uint8_t> rgb = canvas.toRgb8();
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        bytes.push_back(rgb[i + 2]);
        bytes.push_back(rgb[i + 1]);
        bytes.push_back(rgb[i]);
    }
    return bytes;
}

std::vector<uint8_t> encodeRawRgb(const Canvas& canvas) {
    return canvas.toRgb8();
}

} // namespace korvanthe::assetgen
