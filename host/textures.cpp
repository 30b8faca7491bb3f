#include "host/textures.h"

#include <algorithm>
#include <vector>

#include "platform/gl.h"

namespace korvanthe {

std::array<unsigned int, TextureSlotCount> textures{};

namespace {

struct KeptPicture {
    std::vector<uint8_t> rgb; // red, green, blue per pixel, row order
    int width = 0;
    int height = 0;
};

std::array<KeptPicture, TextureSlotCount> keptPictures;

bool slotInTable(int slot) {
    return slot >= 0 && slot < TextureSlotCount;
}

std::vector<uint8_t> rgbBytes(std::span<const uint32_t> pixels, int width, int height) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(count * 3, 0);
    const size_t given = std::min(count, pixels.size());
    for (size_t i = 0; i < given; ++i) {
        const uint32_t word = pixels[i];
        rgb[i * 3 + 0] = static_cast<uint8_t>(word >> 16 & 255);
        rgb[i * 3 + 1] = static_cast<uint8_t>(word >> 8 & 255);
        rgb[i * 3 + 2] = static_cast<uint8_t>(word & 255);
    }
    return rgb;
}

unsigned int uploadRGB(const std::vector<uint8_t>& rgb, int width, int height) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // Rows of three-byte pixels are not 4-byte aligned for every width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    return name;
}

} // namespace

unsigned int uploadTexture(std::span<const uint32_t> pixels, int width, int height) {
    if (width < 1 || height < 1) {
        return 0;
    }
    return uploadRGB(rgbBytes(pixels, width, height), width, height);
}

void setPicture(int slot, std::span<const uint32_t> pixels, int width, int height) {
    if (!slotInTable(slot) || width < 1 || height < 1) {
        return;
    }
    KeptPicture& kept = keptPictures[slot];
    kept.rgb = rgbBytes(pixels, width, height);
    kept.width = width;
    kept.height = height;
    textures[slot] = uploadRGB(kept.rgb, width, height);
}

void uploadPicturesAgain() {
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        const KeptPicture& kept = keptPictures[slot];
        if (!kept.rgb.empty()) {
            textures[slot] = uploadRGB(kept.rgb, kept.width, kept.height);
        }
    }
}

void forgetPictures() {
    for (KeptPicture& kept : keptPictures) {
        kept = KeptPicture{};
    }
    textures.fill(0);
}

} // namespace korvanthe
