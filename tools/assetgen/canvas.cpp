#include "tools/assetgen/canvas.h"

#include <algorithm>
#include <cmath>

#include "tools/assetgen/exact_math.h"

namespace korvanthe::assetgen {

Canvas::Canvas(int texelWidth, int texelHeight, float spaceWidth, float spaceHeight)
    : width(texelWidth), height(texelHeight), designWidth(spaceWidth), designHeight(spaceHeight),
      texels(static_cast<size_t>(texelWidth) * texelHeight) {}

float Canvas::texelSize() const {
    return std::max(designWidth / width, designHeight / height);
}

std::vector<uint8_t> Canvas::toRgb8() const {
    std::vector<uint8_t> bytes;
    bytes.reserve(texels.size() * 3);
    auto channel = [](float value) {
        double scaled = clamp01(value) * 255.0 + 0.5;
        return static_cast<uint8_t>(scaled);
    };
    for (const Color& c : texels) {
        bytes.push_back(channel(c.r));
        bytes.push_back(channel(c.g));
        bytes.push_back(channel(c.b));
    }
    return bytes;
}

Paint verticalGradient(Color top, Color bottom, float y0, float y1) {
    return [=](float, float y) {
        float t = static_cast<float>(clamp01((y - y0) / (y1 - y0)));
        return mix(top, bottom, t);
    };
}

namespace {

float distanceToSegment(float px, float py, const Segment& s) {
    float dx = s.x1 - s.x0;
    float dy = s.y1 - s.y0;
    float lengthSquared = dx * dx + dy * dy;
    float t = 0.0f;
    if (lengthSquared > 0.0f) {
        t = ((px - s.x0) * dx + (py - s.y0) * dy) / lengthSquared;
        t = std::clamp(t, 0.0f, 1.0f);
    }
    float ex = px - (s.x0 + t * dx);
    float ey = py - (s.y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

} // namespace

void drawStrokes(Canvas& canvas, std::span<const Segment> segments, const StrokeStyle& style,
                 bool wrapVertically) {
    const float edge = canvas.texelSize();
    // The glow is visible to about five radii; beyond that nothing changes.
    const float reach = style.halfWidth + edge + style.glowRadius * 5.0f;
    const float far = reach + 1.0f;
    std::vector<float> distance(canvas.texels.size(), far);
    const float scaleX = canvas.width / canvas.designWidth;
    const float scaleY = canvas.height / canvas.designHeight;

    auto stamp = [&](const Segment& s) {
        int xBegin =
            std::max(0, static_cast<int>(std::floor((std::min(s.x0, s.x1) - reach) * scaleX)));
        int xEnd = std::min(canvas.width - 1,
                            static_cast<int>(std::ceil((std::max(s.x0, s.x1) + reach) * scaleX)));
        int yBegin =
            std::max(0, static_cast<int>(std::floor((std::min(s.y0, s.y1) - reach) * scaleY)));
        int yEnd = std::min(canvas.height - 1,
                            static_cast<int>(std::ceil((std::max(s.y0, s.y1) + reach) * scaleY)));
        for (int y = yBegin; y <= yEnd; ++y) {
            float py = canvas.centreY(y);
            for (int x = xBegin; x <= xEnd; ++x) {
                float d = distanceToSegment(canvas.centreX(x), py, s);
                float& slot = distance[static_cast<size_t>(y) * canvas.width + x];
                slot = std::min(slot, d);
            }
        }
    };
    for (const Segment& s : segments) {
        stamp(s);
        if (wrapVertically) {
            float h = canvas.designHeight;
            stamp({s.x0, s.y0 - h, s.x1, s.y1 - h});
            stamp({s.x0, s.y0 + h, s.x1, s.y1 + h});
        }
    }

    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            float d = distance[static_cast<size_t>(y) * canvas.width + x];
            if (d >= far) {
                continue;
            }
            Color& texel = canvas.at(x, y);
            float outside = std::max(0.0f, d - style.halfWidth);
            if (style.glowStrength > 0.0f && style.glowRadius > 0.0f) {
                float glow = static_cast<float>(exactExp(-outside / style.glowRadius));
                texel = texel + style.glowColor * (glow * style.glowStrength);
            }
            float coverage = static_cast<float>(clamp01((style.halfWidth - d) / edge + 0.5));
            if (coverage > 0.0f) {
                texel = mix(texel, style.fill(canvas.centreX(x), canvas.centreY(y)), coverage);
            }
        }
    }
}

void addGlowSpot(Canvas& canvas, float cx, float cy, float radius, Color color) {
    for (int y = 0; y < canvas.height; ++y) {
        float dy = (canvas.centreY(y) - cy) / radius;
        if (dy * dy > 16.0f) {
            continue;
        }
        for (int x = 0; x < canvas.width; ++x) {
            float dx = (canvas.centreX(x) - cx) / radius;
            float q = dx * dx + dy * dy;
            if (q < 16.0f) {
                canvas.at(x, y) = canvas.at(x, y) + color * static_cast<float>(exactExp(-q));
            }
        }
    }
}

void addFlare(Canvas& canvas, float cx, float cy, float halfLength, float thickness, Color color) {
    for (int y = 0; y < canvas.height; ++y) {
        float dy = (canvas.centreY(y) - cy) / thickness;
        if (dy * dy > 25.0f) {
            continue;
        }
        float across = static_cast<float>(exactExp(-dy * dy));
        for (int x = 0; x < canvas.width; ++x) {
            float along = 1.0f - std::fabs(canvas.centreX(x) - cx) / halfLength;
            if (along > 0.0f) {
                canvas.at(x, y) = canvas.at(x, y) + color * (across * along * along);
            }
        }
    }
}

void fillVertical(Canvas& canvas, Color top, Color bottom) {
    for (int y = 0; y < canvas.height; ++y) {
        Color c = mix(top, bottom, static_cast<float>(y) / std::max(1, canvas.height - 1));
        for (int x = 0; x < canvas.width; ++x) {
            canvas.at(x, y) = c;
        }
    }
}

void addStars(Canvas& canvas, int count, uint32_t seed, float brightness) {
    Random random(seed);
    for (int i = 0; i < count; ++i) {
        int x = static_cast<int>(random.unit() * canvas.width);
        int y = static_cast<int>(random.unit() * canvas.height);
        float level = brightness * static_cast<float>(0.3 + 0.7 * random.unit() * random.unit());
        Color tint = mix(Color{0.6f, 0.7f, 1.0f}, Color{1.0f, 0.8f, 0.9f},
                         static_cast<float>(random.unit()));
        canvas.at(x, y) = canvas.at(x, y) + tint * level;
    }
}

std::vector<Segment> circleSegments(float x, float y, float radius, int pieces) {
    std::vector<Segment> segments;
    for (int i = 0; i < pieces; ++i) {
        double a0 = TwoPi * i / pieces;
        double a1 = TwoPi * (i + 1) / pieces;
        segments.push_back({x + radius * static_cast<float>(exactCos(a0)),
                            y + radius * static_cast<float>(exactSin(a0)),
                            x + radius * static_cast<float>(exactCos(a1)),
                            y + radius * static_cast<float>(exactSin(a1))});
    }
    return segments;
}

} // namespace korvanthe::assetgen
