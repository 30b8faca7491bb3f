// The title picture: KORVANTHE in glowing chrome-like letters above a sunset
// and a receding floor grid.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/exact_math.h"
#include "tools/assetgen/lettering.h"
#include "tools/assetgen/pictures.h"

namespace korvanthe::assetgen {

namespace {

constexpr float CentreX = 320.0f;
constexpr float Horizon = 338.0f;

// A half sun resting on the horizon, yellow at the top and pink at the
// bottom, cut by bands that widen towards the horizon.
void drawSun(Canvas& canvas) {
    constexpr float Radius = 112.0f;
    addGlowSpot(canvas, CentreX, Horizon - 30, 170, {0.15f, 0.02f, 0.11f});
    const float edge = canvas.texelSize();
    for (int y = 0; y < canvas.height; ++y) {
        float py = canvas.centreY(y);
        if (py > Horizon) {
            break;
        }
        float height = Horizon - py; // 0 at the horizon
        // Bands: gaps of growing width in the lower 55 design units.
        float band = 1.0f;
        if (height < 60.0f) {
            float phase = height / 12.0f;
            float within = phase - static_cast<float>(static_cast<int>(phase));
            float gap = 0.55f * (1.0f - height / 60.0f);
            band = static_cast<float>(smoothstep(gap - 0.08, gap + 0.08, within));
        }
        Color tint = mix(Color{1.0f, 0.25f, 0.55f}, Color{1.0f, 0.85f, 0.35f},
                         static_cast<float>(clamp01(height / Radius)));
        for (int x = 0; x < canvas.width; ++x) {
            float dx = canvas.centreX(x) - CentreX;
            float d = static_cast<float>(std::sqrt(dx * dx + height * height));
            float inside = static_cast<float>(clamp01((Radius - d) / edge + 0.5));
            if (inside > 0.0f) {
                canvas.at(x, y) = mix(canvas.at(x, y), tint * 0.9f, inside * band);
            }
        }
    }
}

// A floor of lines running to a vanishing point on the horizon.
void drawFloor(Canvas& canvas) {
    std::vector<Segment> lines;
    for (int i = -9; i <= 9; ++i) {
        float bottomX = CentreX + i * 95.0f;
        lines.push_back({CentreX + i * 6.0f, Horizon, bottomX, 480.0f});
    }
    for (int k = 1; k <= 8; ++k) {
        float t = k / 8.0f;
        float y = Horizon + (480.0f - Horizon) * t * t;
        lines.push_back({0.0f, y, 640.0f, y});
    }
    StrokeStyle style;
    style.halfWidth = canvas.texelSize() * 0.6f;
    style.fill = verticalGradient({0.25f, 0.07f, 0.3f}, {0.7f, 0.22f, 0.8f}, Horizon, 480.0f);
    style.glowRadius = 5.0f;
    style.glowStrength = 0.22f;
    style.glowColor = {0.6f, 0.1f, 0.7f};
    drawStrokes(canvas, lines, style);
    addFlare(canvas, CentreX, Horizon, 340, 2.0f, {1.0f, 0.45f, 0.9f});
}

void drawTitle(Canvas& canvas) {
    TextLayout layout = fitted("KORVANTHE", {90.0f, 0.26f, 0.16f}, 600);
    const float top = 146.0f;
    const float cap = layout.capHeight;
    std::vector<Segment> strokes = layoutCentred("KORVANTHE", CentreX, top, layout);

    StrokeStyle halo;
    halo.halfWidth = cap * 0.07f;
    halo.fill = solid({0.4f, 0.3f, 1.0f});
    halo.glowRadius = cap * 0.45f;
    halo.glowStrength = 0.3f;
    halo.glowColor = {0.45f, 0.15f, 0.8f};
    drawStrokes(canvas, strokes, halo);

    StrokeStyle core;
    core.halfWidth = cap * 0.075f;
    core.fill = chromeGradient(top, cap);
    core.glowRadius = cap * 0.12f;
    core.glowStrength = 0.6f;
    core.glowColor = {0.3f, 0.5f, 1.0f};
    drawStrokes(canvas, strokes, core);

    addFlare(canvas, CentreX, top + cap * 0.25f, 330, 1.4f, {0.8f, 0.95f, 1.0f});
    float left = CentreX - textWidth("KORVANTHE", layout) * 0.5f;
    addGlowSpot(canvas, left + cap * 0.05f, top, 9, {1.0f, 1.0f, 1.0f});
    addGlowSpot(canvas, left + cap * 0.05f, top, 30, {0.2f, 0.3f, 0.7f});
}

} // namespace

Canvas drawTitlePicture() {
    Canvas canvas(PictureLayouts[4].width, PictureLayouts[4].height, 640.0f, 480.0f);
    addStars(canvas, 260, 0x7A11u, 0.5f);
    drawSun(canvas);
    drawFloor(canvas);
    drawTitle(canvas);
    TextLayout subtitle = {17.0f, 0.9f, 0.0f};
    drawLine(canvas, "A REAL TIME DEMO", CentreX, 86, subtitle, Look::Body);
    return canvas;
}

} // namespace korvanthe::assetgen
