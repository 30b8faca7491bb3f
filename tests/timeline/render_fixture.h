// Drawing tests: the headless context, small recognisable pictures in the
// texture table, and one effect rendered alone at a chosen elapsed time.
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

inline int redOf(uint32_t pixel) {
    return (pixel >> 16) & 255;
}
inline int greenOf(uint32_t pixel) {
    return (pixel >> 8) & 255;
}
inline int blueOf(uint32_t pixel) {
    return pixel & 255;
}

inline uint32_t rgb(int red, int green, int blue) {
    return static_cast<uint32_t>(red << 16 | green << 8 | blue);
}

// Every channel within `tolerance` of the expected one.
inline ::testing::AssertionResult pixelNear(uint32_t actual, uint32_t expected, int tolerance = 1) {
    for (int shift : {16, 8, 0}) {
        int a = (actual >> shift) & 255, e = (expected >> shift) & 255;
        if (std::abs(a - e) > tolerance) {
            return ::testing::AssertionFailure()
                   << std::hex << "pixel 0x" << actual << ", expected 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

// The test picture of a slot: two columns, two rows (four for slot 5, the tall
// strip). Red names the slot, green the column, blue the row, so a wrong slot,
// a mirrored picture or a flipped row each show.
inline int pictureRows(int slot) {
    return slot == 5 ? 4 : 2;
}
inline uint32_t pictureTexel(int slot, int column, int row) {
    return rgb(100 + 20 * slot, 40 + 160 * column, 30 + 60 * row);
}

class RenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        contextReady = openHeadlessContext();
        if (!contextReady) {
            return;
        }
        textures.fill(0);
        for (int slot = 0; slot <= 6; slot++) {
            std::vector<uint32_t> pixels;
            for (int row = 0; row < pictureRows(slot); row++) {
                for (int column = 0; column < 2; column++) {
                    // Slot 0, the grid tile of the lattice, is plain white.
                    pixels.push_back(slot == 0 ? 0xFFFFFFu : pictureTexel(slot, column, row));
                }
            }
            textures[slot] = uploadTexture(pixels, 2, pictureRows(slot));
        }
    }
    void SetUp() override {
        ASSERT_TRUE(contextReady) << "no headless GL context";
        clearEffectRegistry();
    }

    // Draws `effect` as the only registered, active effect, `elapsedMs` after
    // its clock restart, through the compositor.
    void renderAt(Effect& effect, int32_t elapsedMs) {
        clearEffectRegistry();
        registerEffect(effect, "alone");
        effect.active = true;
        effectRegistry.effectStartTime[0] = startTime;
        setVirtualMilliseconds(startTime + static_cast<uint32_t>(elapsedMs));
        drawLayers();
        ASSERT_EQ(effect.elapsed, elapsedMs);
    }

    std::vector<uint32_t> frame() {
        std::vector<uint32_t> pixels;
        readPixels(pixels);
        return pixels;
    }

    static constexpr uint32_t startTime = 50000;
    static inline bool contextReady = false;
};

} // namespace korvanthe::testing
