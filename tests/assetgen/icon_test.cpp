// The desktop icon: a PNG that an independent decoder (libpng) reads as a
// square RGBA picture, opaque and lit inside its rounded square, transparent
// at the corners; and the same bytes every time.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "tools/assetgen/icon.h"

namespace korvanthe {
namespace {

struct Decoded {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

Decoded decodeRgba(const std::vector<uint8_t>& file) {
    Decoded decoded;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        return decoded;
    }
    image.format = PNG_FORMAT_RGBA;
    decoded.width = image.width;
    decoded.height = image.height;
    decoded.rgba.resize(PNG_IMAGE_SIZE(image));
    decoded.ok = png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr) != 0;
    return decoded;
}

TEST(Icon, DecodesAsASquareRgbaPicture) {
    const std::vector<uint8_t> file = assetgen::makeIconPng();
    const Decoded icon = decodeRgba(file);
    ASSERT_TRUE(icon.ok);
    ASSERT_EQ(icon.width, static_cast<uint32_t>(assetgen::IconSize));
    ASSERT_EQ(icon.height, static_cast<uint32_t>(assetgen::IconSize));

    auto pixel = [&](int x, int y) {
        return &icon.rgba[(static_cast<size_t>(y) * icon.width + x) * 4];
    };
    const int last = assetgen::IconSize - 1;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) {
        EXPECT_EQ(pixel(x, y)[3], 0) << "corner " << x << "," << y;
    }
    // Inside the square everything is opaque, and the picture is not dark all over.
    int brightest = 0;
    for (int y = 40; y < assetgen::IconSize - 40; ++y) {
        for (int x = 40; x < assetgen::IconSize - 40; ++x) {
            const uint8_t* p = pixel(x, y);
            ASSERT_EQ(p[3], 255) << x << "," << y;
            brightest = std::max({brightest, int{p[0]}, int{p[1]}, int{p[2]}});
        }
    }
    EXPECT_GT(brightest, 200);
}

TEST(Icon, SameBytesEveryTime) {
    EXPECT_EQ(assetgen::makeIconPng(), assetgen::makeIconPng());
}

} // namespace
} // namespace korvanthe
