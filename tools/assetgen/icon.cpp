#include "tools/assetgen/icon.h"

#include <algorithm>
#include <cmath>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/exact_math.h"
#include "tools/assetgen/lettering.h"
#include "tools/assetgen/png_encoder.h"
#include "tools/assetgen/stroke_font.h"

namespace korvanthe::assetgen {

namespace {

constexpr float Size = static_cast<float>(IconSize);
constexpr float Centre = Size * 0.5f;
constexpr float Horizon = 178.0f;
// The rounded square leaves a margin, as desktop icon themes do, so the icon
// does not look larger than its neighbours.
constexpr float Margin = 10.0f;
constexpr float CornerRadius = 44.0f;

void drawSky(Canvas& canvas) {
    fillVertical(canvas, {0.02f, 0.02f, 0.1f}, {0.22f, 0.04f, 0.3f});
    addStars(canvas, 40, 0x1C0Bu, 0.5f);
    addGlowSpot(canvas, Centre, Horizon - 20, 90, {0.25f, 0.04f, 0.18f});
}

// A half sun on the horizon, yellow at the top and pink at the foot, with
// two dark bands.
void drawSun(Canvas& canvas) {
    constexpr float Radius = 62.0f;
    const float edge = canvas.texelSize();
    for (int y = 0; y < canvas.height; ++y) {
        const float height = Horizon - canvas.centreY(y);
        if (height < 0.0f) {
            break;
        }
        const bool inBand = (height > 8.0f && height < 13.0f) || (height > 22.0f && height < 25.0f);
        const Color tint = mix(Color{1.0f, 0.25f, 0.55f}, Color{1.0f, 0.85f, 0.35f},
                               static_cast<float>(clamp01(height / Radius)));
        for (int x = 0; x < canvas.width; ++x) {
            const float dx = canvas.centreX(x) - Centre;
            const float d = std::sqrt(dx * dx + height * height);
            const float inside = static_cast<float>(clamp01((Radius - d) / edge + 0.5));
            if (inside > 0.0f && !inBand) {
                canvas.at(x, y) = mix(canvas.at(x, y), tint * 0.9f, inside);
            }
        }
    }
}

void drawFloor(Canvas& canvas) {
    std::vector<Segment> lines;
    for (int i = -4; i <= 4; ++i) {
        lines.push_back({Centre + i * 4.0f, Horizon, Centre + i * 40.0f, Size});
    }
    for (int k = 1; k <= 4; ++k) {
        const float t = k / 4.0f;
        const float y = Horizon + (Size - Horizon) * t * t;
        lines.push_back({0.0f, y, Size, y});
    }
    StrokeStyle style;
    style.halfWidth = 0.9f;
    style.fill = verticalGradient({0.3f, 0.08f, 0.35f}, {0.75f, 0.25f, 0.85f}, Horizon, Size);
    style.glowRadius = 3.0f;
    style.glowStrength = 0.25f;
    style.glowColor = {0.6f, 0.1f, 0.7f};
    drawStrokes(canvas, lines, style);
    addFlare(canvas, Centre, Horizon, 110, 1.5f, {1.0f, 0.45f, 0.9f});
}

// The initial in the title's chrome: white to ice blue, a dark line, violet
// to magenta.
void drawInitial(Canvas& canvas) {
    const TextLayout layout = {118.0f, 0.0f, 0.12f};
    const float top = 34.0f;
    const float cap = layout.capHeight;
    const std::vector<Segment> strokes = layoutCentred("K", Centre, top, layout);

    StrokeStyle halo;
    halo.halfWidth = cap * 0.08f;
    halo.fill = solid({0.4f, 0.3f, 1.0f});
    halo.glowRadius = cap * 0.3f;
    halo.glowStrength = 0.35f;
    halo.glowColor = {0.45f, 0.15f, 0.8f};
    drawStrokes(canvas, strokes, halo);

    StrokeStyle core;
    core.halfWidth = cap * 0.085f;
    core.fill = chromeGradient(top, cap);
    core.glowRadius = cap * 0.1f;
    core.glowStrength = 0.6f;
    core.glowColor = {0.3f, 0.5f, 1.0f};
    drawStrokes(canvas, strokes, core);
}

// How much of the pixel at (x, y) the rounded square covers, 0 to 1: the
// distance to its outline, antialiased over one pixel.
float squareCoverage(float x, float y) {
    const float half = Centre - Margin - CornerRadius; // half side of the inner square
    const float qx = std::max(std::abs(x - Centre) - half, 0.0f);
    const float qy = std::max(std::abs(y - Centre) - half, 0.0f);
    const float outside = std::sqrt(qx * qx + qy * qy) - CornerRadius;
    return static_cast<float>(clamp01(0.5 - outside));
}

} // namespace

std::vector<uint8_t> makeIconPng() {
    Canvas canvas(IconSize, IconSize, Size, Size);
    drawSky(canvas);
    drawSun(canvas);
    drawFloor(canvas);
    drawInitial(canvas);

    const std::vector<uint8_t> rgb = canvas.toRgb8();
    std::vector<uint8_t> rgba;
    rgba.reserve(rgb.size() / 3 * 4);
    for (int y = 0; y < IconSize; ++y) {
        for (int x = 0; x < IconSize; ++x) {
            const size_t at = (static_cast<size_t>(y) * IconSize + x) * 3;
            rgba.insert(rgba.end(), {rgb[at], rgb[at + 1], rgb[at + 2]});
            const float alpha = squareCoverage(canvas.centreX(x), canvas.centreY(y));
            rgba.push_back(static_cast<uint8_t>(alpha * 255.0f + 0.5f));
        }
    }
    return encodePngRgba(IconSize, IconSize, rgba);
}

} // namespace korvanthe::assetgen
