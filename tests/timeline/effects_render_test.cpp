// The four effects drawn in the headless context with the test pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/gl.h"
#include "tests/timeline/render_fixture.h"
#include "timeline/flash_effect.h"
#include "timeline/random_effect.h"
#include "timeline/scroll_effect.h"
#include "timeline/text_effect.h"

namespace korvanthe {
namespace {

using testing::pictureTexel;
using testing::pixelNear;
using EffectsRender = testing::RenderTest;

// The centres of the four texels of a 2 x 2 picture stretched over the screen.
constexpr int QuadrantX[2] = {160, 480};
constexpr int QuadrantY[2] = {120, 360};

uint32_t scaled(uint32_t pixel, double factor) {
    auto channel = [&](int shift) { return int(((pixel >> shift) & 255) * factor + 0.5); };
    return testing::rgb(channel(16), channel(8), channel(0));
}

int litPixels(const std::vector<uint32_t>& pixels) {
    return int(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p != 0; }));
}

TEST_F(EffectsRender, FlashFadesFromWhiteToNothingIn250Milliseconds) {
    FlashEffect flash;
    const struct {
        int32_t t;
        int low, high; // every channel of every pixel
    } cases[] = {{0, 255, 255}, {125, 127, 128}, {250, 0, 0}, {4000, 0, 0}};
    for (const auto& c : cases) {
        renderAt(flash, c.t);
        std::vector<uint32_t> pixels = frame();
        auto [low, high] = std::minmax_element(pixels.begin(), pixels.end());
        EXPECT_EQ(*low, *high) << "uniform, t = " << c.t;
        EXPECT_EQ(*low, (*low & 0xFF) * 0x010101u) << "grey, t = " << c.t;
        EXPECT_GE(*low & 0xFF, unsigned(c.low)) << "t = " << c.t;
        EXPECT_LE(*low & 0xFF, unsigned(c.high)) << "t = " << c.t;
    }
}

// The eye's z, read back from the modelview matrix the lattice leaves behind
// (the turns about z after the look-at keep it): minus the third column of
// the rotation times the translation.
double eyeZFromModelview() {
    GLdouble m[16]; // column-major
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    return -(m[8] * m[12] + m[9] * m[13] + m[10] * m[14]);
}

TEST_F(EffectsRender, RandomApproachRushesInFromAThousandUnitsAway) {
    RandomEffect random;
    random.reset();
    random.handleEvent({CommandParam, 0, 1, 0}); // approach comes from p2
    const struct {
        int32_t t;
        double eyeZ;
        int minLit, maxLit;
    } cases[] = {
        {0, -1000.0, 0, 4},                    // the lattice smaller than a pixel
        {500, -500.0, 0, 4},                   // still
        {2000, 2.0, 640 * 480 / 2, 640 * 480}, // arrived inside the lattice
    };
    for (const auto& c : cases) {
        renderAt(random, c.t);
        EXPECT_NEAR(eyeZFromModelview(), c.eyeZ, 1e-3 * std::max(1.0, std::abs(c.eyeZ)));
        EXPECT_EQ(randomEffectEye(c.t, 1).z, c.eyeZ);
        int lit = litPixels(frame());
        EXPECT_GE(lit, c.minLit) << "t = " << c.t;
        EXPECT_LE(lit, c.maxLit) << "t = " << c.t;
    }
    random.handleEvent({CommandParam, 5, 0, 0}); // approach 0: the eye stays at 2
    renderAt(random, 0);
    EXPECT_NEAR(eyeZFromModelview(), 2.0, 1e-5);
    uint32_t centre = readPixel(320, 240); // grey planes of the white tile at 0.2
    EXPECT_GT(testing::redOf(centre), 40);
    EXPECT_EQ(centre, (centre & 0xFF) * 0x010101u);
}

TEST_F(EffectsRender, TextZoomsInAndEachParamMovesOnOnePicture) {
    TextEffect text;
    text.reset();
    renderAt(text, 0); // ten copies at brightness 0
    EXPECT_EQ(litPixels(frame()), 0);
    renderAt(text, 25); // nine copies at 0.1, all covering the whole screen
    EXPECT_NEAR(testing::redOf(readPixel(320, 240)), 9 * 0.1 * 120, 6);
    const struct {
        int params; // sent so far
        int slot;   // -1: past the pictures, no texture, plain colour
    } cases[] = {{0, 1}, {3, 4}, {5, 6}, {6, -1}, {40, -1}};
    int sent = 0;
    for (const auto& c : cases) {
        for (; sent < c.params; sent++) {
            text.handleEvent({CommandParam, 0, 0, 0});
        }
        renderAt(text, 475); // one copy at 0.9
        for (int row = 0; row < 2; row++) {
            for (int column = 0; column < 2; column++) {
                uint32_t expected = c.slot < 0 ? 0xE6E6E6 : pictureTexel(c.slot, column, row);
                EXPECT_TRUE(pixelNear(readPixel(QuadrantX[column], QuadrantY[row]),
                                      c.slot < 0 ? expected : scaled(expected, 0.9)))
                    << c.params << " params, texel " << column << "," << row;
            }
        }
    }
}

// frame(t)[y] equals frame(0)[(y + shift) mod 480]: moved up by `shift` rows.
::testing::AssertionResult shiftedUp(const std::vector<uint32_t>& later,
                                     const std::vector<uint32_t>& first, int shift) {
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x += 159) {
            auto near = pixelNear(later[y * 640 + x], first[(y + shift) % 480 * 640 + x], 2);
            if (!near) {
                return near << " at " << std::dec << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(EffectsRender, ScrollMovesUpOnePictureEveryTwoSecondsAndWraps) {
    ScrollEffect scroll;
    scroll.reset();
    scroll.handleEvent({CommandParam, 0, 0, 0}); // counted, not shown
    renderAt(scroll, 0);
    std::vector<uint32_t> first = frame();
    for (int row = 0; row < 4; row++) { // the tall strip, top row at the top
        EXPECT_TRUE(pixelNear(readPixel(160, 60 + 120 * row), pictureTexel(5, 0, row)));
    }
    for (auto [t, shift] : {std::pair{500, 120}, {1000, 240}, {2000, 0}, {3000, 240}}) {
        renderAt(scroll, t);
        EXPECT_TRUE(shiftedUp(frame(), first, shift)) << "t = " << t;
    }
    for (auto [slot, expected] : {std::pair{2, pictureTexel(2, 1, 1)},
                                  {16, 0xFFFFFFu},
                                  {-1, 0xFFFFFFu}}) { // past the table: plain white
        scroll.handleEvent({CommandTexture, slot, 0, 0});
        renderAt(scroll, 0);
        EXPECT_TRUE(pixelNear(readPixel(480, 360), expected)) << "slot " << slot;
    }
}

} // namespace
} // namespace korvanthe
