// The generated pictures: files the demo's readers take at exactly the sizes
// it reads, with something to see on a dark ground (they are drawn
// additively), and a tall strip that scrolls without a seam.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/images.h"
#include "tools/assetgen/pictures.h"

namespace korvanthe {
namespace {

using assetgen::PictureLayouts;

struct Written {
    std::filesystem::path path;
    size_t bytes;
};

// Writes every picture into a folder of the test's own (tests run in
// parallel processes) and removes it afterwards.
class Pictures : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        directory_ =
            std::filesystem::path(::testing::TempDir()) /
            (std::string("korvanthe-assetgen-") + test->name() + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory_);
        for (const assetgen::PictureFile& picture : assetgen::makePictures()) {
            std::filesystem::path path = directory_ / picture.fileName;
            std::FILE* file = std::fopen(path.string().c_str(), "wb");
            if (file) {
                std::fwrite(picture.bytes.data(), 1, picture.bytes.size(), file);
                std::fclose(file);
            }
            files_.push_back({path, picture.bytes.size()});
        }
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::filesystem::path directory_;
    std::vector<Written> files_;
};

std::vector<uint32_t> readPicture(const Written& file, int slot) {
    const assetgen::PictureLayout& layout = PictureLayouts[slot];
    std::vector<uint32_t> pixels(static_cast<size_t>(layout.width) * layout.height);
    bool complete =
        slot == 0 ? readTarga(file.path.string().c_str(), pixels)
                  : readRawRGB(file.path.string().c_str(), pixels, layout.width, layout.height);
    EXPECT_TRUE(complete) << layout.fileName;
    return pixels;
}

int brightest(uint32_t pixel) {
    return std::max({(pixel >> 16) & 255u, (pixel >> 8) & 255u, pixel & 255u});
}

TEST_F(Pictures, ReadByTheDemoAtTheirSizes) {
    const std::vector<Written>& files = files_;
    ASSERT_EQ(files.size(), PictureLayouts.size());
    for (size_t slot = 0; slot < files.size(); ++slot) {
        const assetgen::PictureLayout& layout = PictureLayouts[slot];
        EXPECT_EQ(files[slot].path.filename(), layout.fileName);
        size_t header = slot == 0 ? 18 : 0;
        EXPECT_EQ(files[slot].bytes, header + static_cast<size_t>(layout.width) * layout.height * 3)
            << layout.fileName;
    }
    // The Targa header: uncompressed true colour, its size, 24 bits a pixel.
    std::vector<uint8_t> targa = assetgen::makePictures()[0].bytes;
    ASSERT_GE(targa.size(), 18u);
    EXPECT_EQ(targa[2], 2);
    EXPECT_EQ(targa[12] | targa[13] << 8, PictureLayouts[0].width);
    EXPECT_EQ(targa[14] | targa[15] << 8, PictureLayouts[0].height);
    EXPECT_EQ(targa[16], 24);
}

TEST_F(Pictures, BrightShapesOnADarkGround) {
    const std::vector<Written>& files = files_;
    for (size_t slot = 0; slot < files.size(); ++slot) {
        std::vector<uint32_t> pixels = readPicture(files[slot], static_cast<int>(slot));
        size_t bright = 0;
        double level = 0.0;
        for (uint32_t pixel : pixels) {
            bright += brightest(pixel) >= 200;
            level += brightest(pixel);
        }
        level /= static_cast<double>(pixels.size());
        EXPECT_GT(bright, pixels.size() / 200) << PictureLayouts[slot].fileName;
        EXPECT_LT(level, 80.0) << PictureLayouts[slot].fileName;
    }
}

TEST_F(Pictures, TallStripWrapsWithoutASeam) {
    const std::vector<Written>& files = files_;
    std::vector<uint32_t> pixels = readPicture(files[5], 5);
    const int width = PictureLayouts[5].width, height = PictureLayouts[5].height;
    auto rowDifference = [&](int a, int b) {
        long sum = 0;
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(a) * width + x];
            uint32_t q = pixels[static_cast<size_t>(b) * width + x];
            for (int shift : {0, 8, 16}) {
                sum += std::abs(static_cast<int>((p >> shift) & 255) -
                                static_cast<int>((q >> shift) & 255));
            }
        }
        return sum;
    };
    long typical = 0;
    for (int y = 1; y < height; ++y) {
        typical = std::max(typical, rowDifference(y - 1, y));
    }
    EXPECT_LE(rowDifference(height - 1, 0), typical);
}

} // namespace
} // namespace korvanthe
