// The picture readers and the texture upload: word layout per format, the
// limits of the caller's buffer, and what missing, short and unreadable files
// leave behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/images.h"
#include "host/textures.h"
#include "platform/gl.h"
#include "platform/headless/egl_window.h"

namespace korvanthe {
namespace {

constexpr uint32_t Untouched = 0xDEADBEEFu; // what the buffer held before reading

class ImagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("korvanthe-images-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string write(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = (directory / name).string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    std::string missing() const { return (directory / "missing.raw").string(); }

    std::filesystem::path directory;
};

std::vector<uint8_t> targa(int width, int height, int depth, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes(18 + data.size(), 0);
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = static_cast<uint8_t>(width & 255);
    bytes[13] = static_cast<uint8_t>(width >> 8);
    bytes[14] = static_cast<uint8_t>(height & 255);
    bytes[15] = static_cast<uint8_t>(height >> 8);
    bytes[16] = static_cast<uint8_t>(depth);
    for (size_t i = 0; i < data.size(); ++i) {
        bytes[18 + i] = data[i];
    }
    return bytes;
}

// The texels of the bound texture as red, green, blue, alpha bytes.
std::vector<uint8_t> boundTexels(int width, int height) {
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

TEST_F(ImagesTest, RawPixelsAreRedGreenBlue) {
    const std::string path = write("two.raw", {255, 0, 0, 0, 0, 255});
    std::vector<uint32_t> pixels(2, Untouched);
    EXPECT_TRUE(readRawRGB(path.c_str(), pixels, 2, 1));
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0xFF0000u, 0x0000FFu}));
}

TEST_F(ImagesTest, TargaPixelsAreStoredBlueGreenRedInFileRowOrder) {
    struct Case {
        const char* what;
        int depth;
        std::vector<uint8_t> data; // two pixels, the first row then the second
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {"24-bit", 24, {10, 20, 30, 1, 2, 3}, {0x001E140Au, 0x00030201u}},
        {"32-bit keeps alpha on top", 32, {10, 20, 30, 40, 1, 2, 3, 4}, {0x281E140Au, 0x04030201u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write("picture.tga", targa(1, 2, c.depth, c.data));
        std::vector<uint32_t> pixels(3, Untouched); // one word more than the picture
        EXPECT_TRUE(readTarga(path.c_str(), pixels));
        EXPECT_EQ(pixels, (std::vector<uint32_t>{c.words[0], c.words[1], Untouched}));
    }
}

TEST_F(ImagesTest, UnreadableTargaFilesLeaveTheBufferAsItWasOrBlack) {
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        std::vector<uint32_t> after;
        bool complete; // an empty picture is complete
    };
    const Case cases[] = {
        {"width 0 stores nothing", targa(0, 2, 24, {1, 2, 3}), {Untouched, Untouched}, true},
        {"height 0 stores nothing", targa(2, 0, 24, {1, 2, 3}), {Untouched, Untouched}, true},
        {"16-bit depth is left alone",
         targa(2, 1, 16, {1, 2, 3, 4}),
         {Untouched, Untouched},
         false},
        {"short pixel data: the rest black", targa(2, 1, 24, {1, 2, 3, 4}), {0x030201u, 0}, false},
        {"short header: all black", {0, 0, 2, 0, 0}, {0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write("bad.tga", c.file);
        std::vector<uint32_t> pixels(2, Untouched);
        EXPECT_EQ(readTarga(path.c_str(), pixels), c.complete);
        EXPECT_EQ(pixels, c.after);
    }
    std::vector<uint32_t> pixels(2, Untouched);
    EXPECT_FALSE(readTarga(missing().c_str(), pixels));
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0, 0}));
}

TEST_F(ImagesTest, ShortOrMissingRawFilesLeaveTheMissingPixelsBlack) {
    const std::string path = write("short.raw", {1, 2, 3, 4, 5});
    std::vector<uint32_t> pixels(3, Untouched);
    EXPECT_FALSE(readRawRGB(path.c_str(), pixels, 3, 1));
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0x010203u, 0, 0}));

    pixels.assign(3, Untouched);
    EXPECT_FALSE(readRawRGB(missing().c_str(), pixels, 3, 1));
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0, 0, 0}));
}

TEST_F(ImagesTest, ReadersNeverWritePastTheCallersBuffer) {
    // A 4 x 4 picture into a buffer of 3 words: ASan would catch a write past it.
    std::vector<uint8_t> data(4 * 4 * 3, 7);
    const std::string tga = write("big.tga", targa(4, 4, 24, data));
    const std::string raw = write("big.raw", data);
    std::vector<uint32_t> pixels(3, Untouched);
    EXPECT_FALSE(readTarga(tga.c_str(), pixels));
    EXPECT_EQ(pixels, (std::vector<uint32_t>(3, 0x070707u)));
    pixels.assign(3, Untouched);
    EXPECT_FALSE(readRawRGB(raw.c_str(), pixels, 4, 4));
    EXPECT_EQ(pixels, (std::vector<uint32_t>(3, 0x070707u)));
}

TEST(TexturesTest, UploadMakesLinearFilteredRGBTexelsThatStayBound) {
    struct Case {
        const char* what;
        std::vector<uint32_t> pixels; // two pixels wide, one high
        std::vector<uint8_t> texels;  // red, green, blue, alpha
    };
    const Case cases[] = {
        {"red and blue", {0xFF0000u, 0x0000FFu}, {255, 0, 0, 255, 0, 0, 255, 255}},
        {"alpha dropped", {0x001E140Au, 0x281E140Au}, {30, 20, 10, 255, 30, 20, 10, 255}},
        {"short buffer: black", {0xFFFFFFu}, {255, 255, 255, 255, 0, 0, 0, 255}},
    };
    ASSERT_TRUE(openHeadlessContext());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const unsigned int name = uploadTexture(c.pixels, 2, 1);
        ASSERT_NE(name, 0u);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<unsigned int>(bound), name);
        EXPECT_EQ(boundTexels(2, 1), c.texels);
    }
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(uploadTexture(cases[0].pixels, 0, 1), 0u);
    closeHeadlessContext();
}

} // namespace
} // namespace korvanthe
