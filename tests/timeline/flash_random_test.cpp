// The flash's fade and the lattice camera, drawn in the headless context.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/gl.h"
#include "tests/timeline/render_fixture.h"
#include "timeline/flash_effect.h"
#include "timeline/random_effect.h"

namespace korvanthe {
namespace {

using testing::RenderTest;

using FlashRender = RenderTest;

TEST_F(FlashRender, FadesFromWhiteToNothingIn250Milliseconds) {
    FlashEffect flash;
    flash.reset();
    const struct {
        int32_t t;
        int low, high; // every channel of every pixel
    } cases[] = {
        {0, 255, 255},
        {125, 127, 128},
        {250, 0, 0},
        {4000, 0, 0},
    };
    for (const auto& c : cases) {
        renderAt(flash, c.t);
        std::vector<uint32_t> pixels = frame();
        auto [low, high] = std::minmax_element(pixels.begin(), pixels.end());
        EXPECT_GE(testing::redOf(*low), c.low) << "t = " << c.t;
        EXPECT_EQ(*low & 0xFF, *low >> 16) << "grey, t = " << c.t;
        EXPECT_LE(testing::redOf(*high), c.high) << "t = " << c.t;
        EXPECT_EQ(*low, *high) << "uniform, t = " << c.t;
    }
}

// The eye's distance along z, read back from the modelview matrix the effect
// leaves behind: the turns about z after the look-at keep the eye's z.
double eyeZFromModelview() {
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m); // column-major
    // Eye in object space = -R^T b; its z is minus the third row of R^T times b.
    return -(m[8] * m[12] + m[9] * m[13] + m[10] * m[14]);
}

int litPixels(const std::vector<uint32_t>& pixels) {
    return static_cast<int>(
        std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p != 0; }));
}

using RandomRender = RenderTest;

TEST_F(RandomRender, ApproachRushesInFromAThousandUnitsAway) {
    RandomEffect random;
    random.reset();
    random.handleEvent({CommandParam, 0, 1, 0}); // approach comes from p2
    ASSERT_EQ(random.approach, 1);
    const struct {
        int32_t t;
        double eyeZ;
        int minLit, maxLit;
    } cases[] = {
        {0, -1000.0, 0, 4},                    // far beyond a pixel's size
        {500, -500.0, 0, 4},                   // still below one pixel
        {2000, 2.0, 640 * 480 / 2, 640 * 480}, // arrived inside the lattice
    };
    for (const auto& c : cases) {
        renderAt(random, c.t);
        EXPECT_NEAR(eyeZFromModelview(), c.eyeZ, 1e-3 * std::max(1.0, std::abs(c.eyeZ)))
            << "t = " << c.t;
        EXPECT_EQ(randomEffectEye(c.t, 1).z, c.eyeZ);
        int lit = litPixels(frame());
        EXPECT_GE(lit, c.minLit) << "t = " << c.t;
        EXPECT_LE(lit, c.maxLit) << "t = " << c.t;
    }
}

TEST_F(RandomRender, WithoutApproachTheEyeStaysAtDistanceTwo) {
    RandomEffect random;
    random.reset();
    random.handleEvent({CommandParam, 5, 0, 0});
    EXPECT_EQ(random.approach, 0);
    renderAt(random, 0);
    EXPECT_NEAR(eyeZFromModelview(), 2.0, 1e-5);
    // Only the grid tile is drawn, at 0.2 per plane: grey wherever it shows.
    uint32_t centre = readPixel(320, 240);
    EXPECT_GT(testing::redOf(centre), 40);
    EXPECT_EQ(testing::redOf(centre), testing::blueOf(centre));
    RandomEye eye = randomEffectEye(1234, 0);
    EXPECT_EQ(eye.x, static_cast<float>(eye.x)); // single precision
    EXPECT_EQ(eye.z, 2.0);
}

} // namespace
} // namespace korvanthe
