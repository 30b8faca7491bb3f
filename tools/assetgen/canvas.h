// A floating-point RGB picture that is drawn in "design" coordinates: every
// picture is laid out in the space it covers on screen (640 x 480 for the
// full-screen pictures), whatever its texel size. So a circle drawn here is
// round on screen even when the texture is stretched unevenly.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace korvanthe::assetgen {

struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

inline Color operator*(Color c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}
inline Color operator+(Color a, Color b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Color mix(Color a, Color b, float t) {
    return a * (1.0f - t) + b * t;
}

struct Canvas {
    int width = 0;  // texels
    int height = 0; // texels
    float designWidth = 0.0f;
    float designHeight = 0.0f;
    std::vector<Color> texels; // row by row, row 0 at the top of the screen

    Canvas(int texelWidth, int texelHeight, float spaceWidth, float spaceHeight);

    Color& at(int x, int y) { return texels[static_cast<size_t>(y) * width + x]; }
    const Color& at(int x, int y) const { return texels[static_cast<size_t>(y) * width + x]; }
    // Design coordinates of a texel's centre.
    float centreX(int x) const { return (x + 0.5f) * designWidth / width; }
    float centreY(int y) const { return (y + 0.5f) * designHeight / height; }
    // Design units covered by one texel, the larger of both directions: the
    // width of the antialiased edge.
    float texelSize() const;

    // 8-bit red, green, blue per texel, top row first, rounded and clamped.
    std::vector<uint8_t> toRgb8() const;
};

// The fill colour of a shape at a design position.
using Paint = std::function<Color(float x, float y)>;

inline Paint solid(Color color) {
    return [color](float, float) { return color; };
}
// From `top` at design y0 to `bottom` at y1, held beyond them.
Paint verticalGradient(Color top, Color bottom, float y0, float y1);

struct Segment {
    float x0, y0, x1, y1;
};

// A round-capped stroke along segments: a core filled with `fill`, plus a
// glow that falls off as exp(-distance / glowRadius) outside the core.
struct StrokeStyle {
    float halfWidth = 2.0f;
    Paint fill = solid({1, 1, 1});
    float glowRadius = 0.0f;
    float glowStrength = 0.0f;
    Color glowColor = {1, 1, 1};
};

// Draws the segments in one pass (they merge without seams). With
// `wrapVertically` every segment is drawn a picture height above and below
// as well, so the picture tiles seamlessly from bottom to top.
void drawStrokes(Canvas& canvas, std::span<const Segment> segments, const StrokeStyle& style,
                 bool wrapVertically = false);

// Adds a soft round light: colour x exp(-(d / radius)^2).
void addGlowSpot(Canvas& canvas, float x, float y, float radius, Color color);
// Adds a thin horizontal streak of light that fades towards both ends.
void addFlare(Canvas& canvas, float x, float y, float halfLength, float thickness, Color color);
// Fills every texel with a vertical gradient between two colours.
void fillVertical(Canvas& canvas, Color top, Color bottom);
// Adds faint stars at fixed pseudo-random places.
void addStars(Canvas& canvas, int count, uint32_t seed, float brightness);

// Points of a closed circle as segments.
std::vector<Segment> circleSegments(float x, float y, float radius, int pieces);

} // namespace korvanthe::assetgen
