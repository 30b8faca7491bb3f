// The two pictures without words in the middle: the lattice's grid tile and
// the tall strip that scrolls.
#include <cmath>
#include <string>

#include "tools/assetgen/exact_math.h"
#include "tools/assetgen/lettering.h"
#include "tools/assetgen/pictures.h"

namespace korvanthe::assetgen {

Canvas drawGridTile() {
    // The lattice adds some forty planes of this tile over each other at a
    // fifth of its brightness, so the tile is mostly black with thin lines:
    // where many planes line up the lines glow white, the rest stays deep blue.
    Canvas canvas(PictureLayouts[0].width, PictureLayouts[0].height, 256.0f, 256.0f);
    addGlowSpot(canvas, 128, 128, 120, {0.0f, 0.01f, 0.04f});

    std::vector<Segment> minor;
    for (int i = 1; i < 8; ++i) {
        if (i == 4) {
            continue;
        }
        float p = i * 32.0f;
        minor.push_back({p, 0, p, 256});
        minor.push_back({0, p, 256, p});
    }
    StrokeStyle minorStyle;
    minorStyle.halfWidth = 0.7f;
    minorStyle.fill = solid({0.06f, 0.12f, 0.3f});
    minorStyle.glowRadius = 1.5f;
    minorStyle.glowStrength = 0.05f;
    minorStyle.glowColor = {0.05f, 0.1f, 0.3f};
    drawStrokes(canvas, minor, minorStyle);

    std::vector<Segment> ring = circleSegments(128, 128, 72, 72);
    StrokeStyle ringStyle;
    ringStyle.halfWidth = 1.2f;
    ringStyle.fill = solid({0.6f, 0.2f, 0.55f});
    ringStyle.glowRadius = 3.0f;
    ringStyle.glowStrength = 0.12f;
    ringStyle.glowColor = {0.5f, 0.1f, 0.5f};
    drawStrokes(canvas, ring, ringStyle);

    std::vector<Segment> major = {
        {2, 2, 254, 2}, {254, 2, 254, 254}, {254, 254, 2, 254},
        {2, 254, 2, 2}, {128, 2, 128, 254}, {2, 128, 254, 128},
    };
    StrokeStyle majorStyle;
    majorStyle.halfWidth = 1.4f;
    majorStyle.fill = solid({0.4f, 0.8f, 1.0f});
    majorStyle.glowRadius = 3.0f;
    majorStyle.glowStrength = 0.18f;
    majorStyle.glowColor = {0.1f, 0.3f, 0.9f};
    drawStrokes(canvas, major, majorStyle);

    constexpr float Nodes[] = {2, 128, 254};
    for (float y : Nodes) {
        for (float x : Nodes) {
            addGlowSpot(canvas, x, y, 9, {0.2f, 0.35f, 0.8f});
            addGlowSpot(canvas, x, y, 3, {1.0f, 1.0f, 1.0f});
        }
    }
    return canvas;
}

Canvas drawTallStrip() {
    // Shown stretched over the whole screen and scrolled with wrap-around,
    // so everything here repeats with the picture height (480 design units).
    constexpr float Height = 480.0f;
    Canvas canvas(PictureLayouts[5].width, PictureLayouts[5].height, 640.0f, Height);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            float dx = (canvas.centreX(x) - 320.0f) / 170.0f;
            float k = static_cast<float>(exactExp(-dx * dx));
            canvas.at(x, y) = canvas.at(x, y) + Color{0.03f, 0.04f, 0.1f} * k;
        }
    }

    // Rails with tick marks at both sides.
    std::vector<Segment> rails = {{44, 0, 44, Height}, {596, 0, 596, Height}};
    for (int i = 0; i < 20; ++i) {
        float y = i * 24.0f;
        float length = i % 4 == 0 ? 22.0f : 10.0f;
        rails.push_back({44, y, 44 + length, y});
        rails.push_back({596, y, 596 - length, y});
    }
    StrokeStyle railStyle;
    railStyle.halfWidth = 2.6f;
    railStyle.fill = solid({0.3f, 0.55f, 0.9f});
    railStyle.glowRadius = 5.0f;
    railStyle.glowStrength = 0.3f;
    railStyle.glowColor = {0.1f, 0.2f, 0.7f};
    drawStrokes(canvas, rails, railStyle, true);

    // A double helix turning twice per picture height.
    constexpr double Turns = 2.0;
    auto strandX = [](double y, double phase) {
        return 320.0 + 165.0 * exactSin(TwoPi * Turns * y / 480.0 + phase);
    };
    auto depth = [](double y, double phase) {
        return 0.5 + 0.5 * exactCos(TwoPi * Turns * y / 480.0 + phase);
    };
    std::vector<Segment> rungs;
    for (int i = 0; i < 40; ++i) {
        float y = i * 12.0f + 6.0f;
        rungs.push_back(
            {static_cast<float>(strandX(y, 0.0)), y, static_cast<float>(strandX(y, Pi)), y});
    }
    StrokeStyle rungStyle;
    rungStyle.halfWidth = 2.6f;
    rungStyle.fill = [&](float x, float) {
        float fade = 0.35f + 0.65f * static_cast<float>(1.0 - std::fabs(x - 320.0f) / 170.0f);
        return Color{0.25f, 0.3f, 0.8f} * fade;
    };
    rungStyle.glowRadius = 4.0f;
    rungStyle.glowStrength = 0.2f;
    rungStyle.glowColor = {0.2f, 0.2f, 0.7f};
    drawStrokes(canvas, rungs, rungStyle, true);

    struct Strand {
        double phase;
        Color front;
    };
    const Strand Strands[] = {{0.0, {0.4f, 0.95f, 1.0f}}, {Pi, {1.0f, 0.4f, 0.9f}}};
    for (const Strand& strand : Strands) {
        std::vector<Segment> curve;
        for (int i = 0; i < 240; ++i) {
            double y0 = i * 2.0;
            double y1 = y0 + 2.0;
            curve.push_back({static_cast<float>(strandX(y0, strand.phase)), static_cast<float>(y0),
                             static_cast<float>(strandX(y1, strand.phase)),
                             static_cast<float>(y1)});
        }
        StrokeStyle style;
        style.halfWidth = 5.0f;
        style.fill = [&](float, float y) {
            return strand.front * static_cast<float>(0.3 + 0.7 * depth(y, strand.phase));
        };
        style.glowRadius = 9.0f;
        style.glowStrength = 0.4f;
        style.glowColor = strand.front * 0.5f;
        drawStrokes(canvas, curve, style, true);
    }

    // Stacked letters between the rails and the helix: the name on the left,
    // digits on the right, ten slots per picture height.
    const std::string name = "KORVANTHE ";
    TextLayout letters = {24.0f, 0.0f, 0.0f};
    for (int i = 0; i < 10; ++i) {
        float top = i * 48.0f + 12.0f;
        drawLine(canvas, name.substr(static_cast<size_t>(i), 1), 98, top, letters, Look::Accent);
        drawLine(canvas, std::string(1, static_cast<char>('0' + i)), 542, top, letters,
                 Look::Headline);
    }
    return canvas;
}

} // namespace korvanthe::assetgen
