#include "tools/assetgen/pictures.h"

#include "tools/assetgen/picture_files.h"

namespace korvanthe::assetgen {

std::vector<PictureFile> makePictures() {
    std::vector<PictureFile> files;
    files.push_back({PictureLayouts[0].fileName, encodeTarga24(drawGridTile())});
    files.push_back({PictureLayouts[1].fileName, encodeRawRgb(drawIntroPicture())});
    files.push_back({PictureLayouts[2].fileName, encodeRawRgb(drawCodePicture())});
    files.push_back({PictureLayouts[3].fileName, encodeRawRgb(drawCreditsPicture())});
    files.push_back({PictureLayouts[4].fileName, encodeRawRgb(drawTitlePicture())});
    files.push_back({PictureLayouts[5].fileName, encodeRawRgb(drawTallStrip())});
    files.push_back({PictureLayouts[6].fileName, encodeRawRgb(drawGreetingsPicture())});
    return files;
}

} // namespace korvanthe::assetgen
