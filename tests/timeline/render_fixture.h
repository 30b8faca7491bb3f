// Drawing tests: the headless context, small recognisable pictures in the
// texture table, and one effect drawn alone at a chosen elapsed time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "host/textures.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/virtual_clock.h"
#include "timeline/effect_registry.h"
#include "timeline/layer_compositor.h"

namespace korvanthe::testing {

inline uint32_t rgb(int red, int green, int blue) {
    return static_cast<uint32_t>(red << 16 | green << 8 | blue);
}
inline int redOf(uint32_t pixel) {
    return (pixel >> 16) & 255;
}

// Every channel within `tolerance`.
inline ::testing::AssertionResult pixelNear(uint32_t actual, uint32_t expected, int tolerance = 1) {
    for (int shift : {16, 8, 0}) {
        if (std::abs(int((actual >> shift) & 255) - int((expected >> shift) & 255)) > tolerance) {
            return ::testing::AssertionFailure()
                   << std::hex << "pixel 0x" << actual << ", expected 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

// The test picture of slot s: two columns, two rows (four for slot 5, the
// tall strip). Red tells the slot, green the column, blue the row, so a wrong
// slot, a mirrored picture or a flipped row shows. Slot 0, the grid tile, is
// white.
inline int pictureRows(int slot) {
    return slot == 5 ? 4 : 2;
}
inline uint32_t pictureTexel(int slot, int column, int row) {
    return slot == 0 ? 0xFFFFFF : rgb(100 + 20 * slot, 40 + 160 * column, 30 + 60 * row);
}

class RenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!openHeadlessContext()) {
            return;
        }
        for (int slot = 0; slot <= 6; slot++) {
            std::vector<uint32_t> pixels;
            for (int row = 0; row < pictureRows(slot); row++) {
                pixels.push_back(pictureTexel(slot, 0, row));
                pixels.push_back(pictureTexel(slot, 1, row));
            }
            textures[slot] = uploadTexture(pixels, 2, pictureRows(slot));
        }
    }
    void SetUp() override {
        ASSERT_NE(textures[6], 0u) << "no headless GL context";
        clearEffectRegistry();
    }

    // Draws `effect` through the compositor as the only registered and
    // active effect, `elapsedMs` after its clock restart.
    static void renderAt(Effect& effect, int32_t elapsedMs) {
        clearEffectRegistry();
        registerEffect(effect, "alone");
        effect.active = true;
        effectRegistry.effectStartTime[0] = 50000;
        setVirtualMilliseconds(50000 + static_cast<uint32_t>(elapsedMs));
        drawLayers();
        ASSERT_EQ(effect.elapsed, elapsedMs);
    }

    static std::vector<uint32_t> frame() {
        std::vector<uint32_t> pixels;
        readPixels(pixels);
        return pixels;
    }
};

} // namespace korvanthe::testing
