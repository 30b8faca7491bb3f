// The text's zoom blur and picture steps, and the scroll's wrap, drawn in the
// headless context with the small test pictures.
#include <gtest/gtest.h>

#include "tests/timeline/render_fixture.h"
#include "timeline/scroll_effect.h"
#include "timeline/text_effect.h"

namespace korvanthe {
namespace {

using testing::pictureTexel;
using testing::pixelNear;
using testing::RenderTest;

// The centres of the four texels of a 2 x 2 picture stretched over the screen.
constexpr int quadrantX[2] = {160, 480};
constexpr int quadrantY[2] = {120, 360};

uint32_t scaled(uint32_t pixel, double factor) {
    auto channel = [&](int shift) {
        return static_cast<int>(((pixel >> shift) & 255) * factor + 0.5);
    };
    return testing::rgb(channel(16), channel(8), channel(0));
}

using TextRender = RenderTest;

TEST_F(TextRender, ZoomBlurCollapsesIntoOneCopyAtNineTenths) {
    TextEffect text;
    text.reset();
    renderAt(text, 0); // ten copies at brightness 0
    for (uint32_t pixel : frame()) {
        ASSERT_EQ(pixel, 0u);
    }
    renderAt(text, 25); // nine copies at 0.1, all covering the whole screen
    EXPECT_NEAR(testing::redOf(readPixel(320, 240)), 9 * 0.1 * 120, 6);
    renderAt(text, 475); // one copy at 0.9 of picture0, slot 1
    for (int row = 0; row < 2; row++) {
        for (int column = 0; column < 2; column++) {
            EXPECT_TRUE(pixelNear(readPixel(quadrantX[column], quadrantY[row]),
                                  scaled(pictureTexel(1, column, row), 0.9)))
                << column << "," << row;
        }
    }
}

TEST_F(TextRender, EachParamMovesOnOnePictureAndPastTheTableDrawsPlainColour) {
    TextEffect text;
    text.reset();
    const struct {
        int params; // in total so far
        int slot;   // -1: no texture, plain colour 0.9
    } cases[] = {{3, 4}, {5, 6}, {6, -1}, {40, -1}};
    int sent = 0;
    for (const auto& c : cases) {
        for (; sent < c.params; sent++) {
            text.handleEvent({CommandParam, 0, 0, 0});
        }
        renderAt(text, 475);
        for (int row = 0; row < 2; row++) {
            for (int column = 0; column < 2; column++) {
                uint32_t expected = c.slot < 0 ? testing::rgb(230, 230, 230)
                                               : scaled(pictureTexel(c.slot, column, row), 0.9);
                EXPECT_TRUE(pixelNear(readPixel(quadrantX[column], quadrantY[row]), expected))
                    << "after " << c.params << " params, " << column << "," << row;
            }
        }
    }
}

using ScrollRender = RenderTest;

// frame(t)[y] equals frame(0)[(y + shift) mod 480]: the picture has moved up by
// `shift` screen rows.
::testing::AssertionResult shiftedUp(const std::vector<uint32_t>& later,
                                     const std::vector<uint32_t>& first, int shift) {
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x += 159) {
            uint32_t a = later[y * 640 + x], b = first[((y + shift) % 480) * 640 + x];
            if (!pixelNear(a, b, 2)) {
                return ::testing::AssertionFailure()
                       << "at " << x << "," << y << ": " << pixelNear(a, b, 2).message();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ScrollRender, MovesUpOnePictureEveryTwoSecondsAndWraps) {
    ScrollEffect scroll;
    scroll.reset();
    scroll.handleEvent({CommandParam, 0, 0, 0}); // counted, not shown
    renderAt(scroll, 0);
    std::vector<uint32_t> first = frame();
    // The tall strip, slot 5: four rows, top row at the top of the screen.
    for (int row = 0; row < 4; row++) {
        EXPECT_TRUE(pixelNear(readPixel(160, 60 + 120 * row), pictureTexel(5, 0, row)))
            << "row " << row;
    }
    const struct {
        int32_t t;
        int shift;
    } cases[] = {{500, 120}, {1000, 240}, {2000, 0}, {3000, 240}};
    for (const auto& c : cases) {
        renderAt(scroll, c.t);
        EXPECT_TRUE(shiftedUp(frame(), first, c.shift)) << "t = " << c.t;
    }
}

TEST_F(ScrollRender, TextureCommandChoosesThePicture) {
    ScrollEffect scroll;
    scroll.reset();
    scroll.handleEvent({CommandTexture, 2, 0, 0});
    renderAt(scroll, 0);
    EXPECT_TRUE(pixelNear(readPixel(480, 360), pictureTexel(2, 1, 1)));
    scroll.handleEvent({CommandTexture, 16, 0, 0}); // past the table: plain white
    renderAt(scroll, 0);
    EXPECT_TRUE(pixelNear(readPixel(480, 360), 0xFFFFFF));
    scroll.handleEvent({CommandTexture, -1, 0, 0});
    renderAt(scroll, 0);
    EXPECT_TRUE(pixelNear(readPixel(0, 0), 0xFFFFFF));
}

} // namespace
} // namespace korvanthe
