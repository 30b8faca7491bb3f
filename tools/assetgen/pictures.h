// The demo's seven pictures, drawn from code. Each is laid out in the space it
// covers on screen (the full-screen pictures in 640 x 480) and rendered at the
// texel size the demo reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

namespace korvanthe::assetgen {

struct PictureLayout {
    const char* fileName;
    int width;  // texels
    int height; // texels
};

// In texture slot order: the demo loads them into slots 0 to 6.
constexpr std::array<PictureLayout, 7> PictureLayouts = {{
    {"gridtile.tga", 256, 256},
    {"picture0.raw", 512, 256},
    {"picture1.raw", 512, 256},
    {"picture2.raw", 512, 512},
    {"korvanthe.raw", 512, 256},
    {"tallstrip.raw", 256, 512},
    {"random.raw", 512, 256},
}};

struct PictureFile {
    std::string fileName;
    std::vector<uint8_t> bytes;
};

// Every picture, encoded as its file, in slot order.
std::vector<PictureFile> makePictures();

// The single pictures (texel sizes from PictureLayouts).
Canvas drawGridTile();
Canvas drawIntroPicture();     // picture0.raw
Canvas drawCodePicture();      // picture1.raw
Canvas drawCreditsPicture();   // picture2.raw
Canvas drawTitlePicture();     // korvanthe.raw
Canvas drawTallStrip();        // tallstrip.raw
Canvas drawGreetingsPicture(); // random.raw, the closing picture

} // namespace korvanthe::assetgen
