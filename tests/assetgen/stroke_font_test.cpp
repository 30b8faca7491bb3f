// The stroke font: every letter, digit and sign the pictures use is there,
// and every glyph stays inside its cell (a typo in a glyph's points shows
// as a stroke off the grid).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tools/assetgen/stroke_font.h"

namespace korvanthe::assetgen {
namespace {

TEST(StrokeFont, CoversLettersDigitsAndSigns) {
    const std::string characters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,!?-:'/+*()=";
    for (char c : characters) {
        EXPECT_TRUE(hasGlyph(c)) << c;
    }
    EXPECT_TRUE(hasGlyph('k')); // lower case draws as capitals
    EXPECT_FALSE(hasGlyph('#'));
}

TEST(StrokeFont, GlyphsStayInTheirCells) {
    const TextLayout layout = {12.0f, 0.0f, 0.0f}; // one design unit per grid unit
    for (int code = 32; code < 127; ++code) {
        char c = static_cast<char>(code);
        if (!hasGlyph(c)) {
            continue;
        }
        std::string text(1, c);
        float width = textWidth(text, layout);
        EXPECT_LE(width, 8.0f) << c;
        for (const Segment& s : layoutText(text, 0.0f, 0.0f, layout)) {
            for (float x : {s.x0, s.x1}) {
                EXPECT_GE(x, 0.0f) << c;
                EXPECT_LE(x, width) << c;
            }
            for (float y : {s.y0, s.y1}) {
                EXPECT_GE(y, 0.0f) << c;
                EXPECT_LE(y, 14.0f) << c; // descenders reach 14
            }
        }
    }
}

TEST(StrokeFont, CentredTextIsCentred) {
    const TextLayout layout = {24.0f, 0.3f, 0.0f};
    float left = 1e9f, right = -1e9f;
    for (const Segment& s : layoutCentred("KORVANTHE", 320.0f, 0.0f, layout)) {
        left = std::min({left, s.x0, s.x1});
        right = std::max({right, s.x0, s.x1});
    }
    EXPECT_NEAR((left + right) / 2, 320.0f, 0.01f);
}

} // namespace
} // namespace korvanthe::assetgen
