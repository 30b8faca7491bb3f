#include "tools/assetgen/lettering.h"

#include <algorithm>

namespace korvanthe::assetgen {

TextLayout fitted(std::string_view text, TextLayout layout, float maxWidth) {
    float width = textWidth(text, layout);
    if (width > maxWidth) {
        layout.capHeight *= maxWidth / width;
    }
    return layout;
}

void drawLine(Canvas& canvas, std::string_view text, float centreX, float top,
              const TextLayout& layout, Look look) {
    const float cap = layout.capHeight;
    // Strokes never get thinner than about two texels, or small text breaks up.
    const float minimumHalfWidth = canvas.texelSize() * 0.95f;
    StrokeStyle style;
    switch (look) {
    case Look::Headline:
        style.halfWidth = std::max(minimumHalfWidth, cap * 0.075f);
        style.fill = verticalGradient({1.0f, 1.0f, 1.0f}, {0.35f, 0.75f, 1.0f}, top, top + cap);
        style.glowRadius = cap * 0.18f;
        style.glowStrength = 0.55f;
        style.glowColor = {0.25f, 0.35f, 1.0f};
        break;
    case Look::Accent:
        style.halfWidth = std::max(minimumHalfWidth, cap * 0.085f);
        style.fill = verticalGradient({1.0f, 0.55f, 0.85f}, {0.7f, 0.35f, 1.0f}, top, top + cap);
        style.glowRadius = cap * 0.25f;
        style.glowStrength = 0.45f;
        style.glowColor = {0.8f, 0.2f, 0.7f};
        break;
    case Look::Body:
        style.halfWidth = std::max(minimumHalfWidth, cap * 0.08f);
        style.fill = solid({0.85f, 0.9f, 1.0f});
        style.glowRadius = cap * 0.3f;
        style.glowStrength = 0.22f;
        style.glowColor = {0.3f, 0.5f, 1.0f};
        break;
    }
    drawStrokes(canvas, layoutCentred(text, centreX, top, layout), style);
}

Paint chromeGradient(float top, float cap) {
    return [top, cap](float, float y) {
        const float t = (y - top) / cap;
        if (t < 0.5f) {
            return mix(Color{1.0f, 1.0f, 1.0f}, Color{0.35f, 0.8f, 1.0f}, t * 2.0f);
        }
        if (t < 0.56f) {
            return Color{0.1f, 0.15f, 0.45f};
        }
        return mix(Color{0.85f, 0.4f, 1.0f}, Color{1.0f, 0.3f, 0.6f}, (t - 0.56f) / 0.44f);
    };
}

} // namespace korvanthe::assetgen
