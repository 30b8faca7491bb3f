#include "tools/assetgen/stroke_font.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace korvanthe::assetgen {

namespace {

// Glyphs on a grid 8 units wide and 12 high (y down, 12 = the baseline).
// A glyph is one or more polylines separated by spaces; each point is two
// characters, x then y, in base 16 ('c' is 12, 'e' 14 for descenders).
struct Glyph {
    char character;
    const char* strokes;
};

constexpr std::array<Glyph, 50> Glyphs = {{
    {'A', "0c022060828c 0686"},
    {'B', "006082846606 66888a6c0c00"},
    {'C', "826020020a2c6c8a"},
    {'D', "0060828a6c0c00"},
    {'E', "80000c8c 0666"},
    {'F', "80000c 0666"},
    {'G', "826020020a2c6c8a8646"},
    {'H', "000c 808c 0686"},
    {'I', "2060 404c 2c6c"},
    {'J', "4080808a6c2c0a"},
    {'K', "000c 062680 268c"},
    {'L', "000c8c"},
    {'M', "0c0046808c"},
    {'N', "0c008c80"},
    {'O', "2060828a6c2c0a0220"},
    {'P', "0c006082846606"},
    {'Q', "2060828a6c2c0a0220 598d"},
    {'R', "0c006082846606 468c"},
    {'S', "82602002042666888a6c2c0a"},
    {'T', "0080 404c"},
    {'U', "000a2c6c8a80"},
    {'V', "004c80"},
    {'W', "002c466c80"},
    {'X', "008c 800c"},
    {'Y', "004680 464c"},
    {'Z', "00800c8c"},
    {'0', "2060828a6c2c0a0220 2a62"},
    {'1', "22404c 2c6c"},
    {'2', "02206082840c8c"},
    {'3', "02206082846626 66888a6c2c0a"},
    {'4', "6c600888"},
    {'5', "80000666888a6c0c"},
    {'6', "6020020a2c6c8a886606"},
    {'7', "0080824c"},
    {'8', "260402206082846626 26080a2c6c8a8866"},
    {'9', "862604022060828a6c2c"},
    {'.', "4b4c"},
    {',', "4b4c2e"},
    {'!', "4047 4b4c"},
    {'?', "02206082844648 4b4c"},
    {'-', "2666"},
    {':', "4344 4a4b"},
    {'\'', "4042"},
    {'/', "0c80"},
    {'+', "4349 1676"},
    {'*', "4546"},
    {'(', "60424a6c"},
    {')', "20424a2c"},
    {'=', "2484 2888"},
    {' ', ""},
}};

int hexValue(char c) {
    return c <= '9' ? c - '0' : c - 'a' + 10;
}

const Glyph* findGlyph(char c) {
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& glyph : Glyphs) {
        if (glyph.character == upper) {
            return &glyph;
        }
    }
    return nullptr;
}

struct GlyphExtent {
    int left = 0;
    int right = 0;
};

// The glyph's horizontal extent; a blank is four units wide.
GlyphExtent extentOf(const Glyph& glyph) {
    GlyphExtent extent{8, 0};
    bool any = false;
    for (const char* p = glyph.strokes; *p; ++p) {
        if (*p == ' ') {
            continue;
        }
        int x = hexValue(*p);
        ++p; // the y character
        extent.left = std::min(extent.left, x);
        extent.right = std::max(extent.right, x);
        any = true;
    }
    return any ? extent : GlyphExtent{0, 4};
}

} // namespace

bool hasGlyph(char c) {
    return findGlyph(c) != nullptr;
}

float textWidth(std::string_view text, const TextLayout& layout) {
    float unit = layout.capHeight / 12.0f;
    float width = 0.0f;
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph = findGlyph(text[i]);
        if (!glyph) {
            continue;
        }
        GlyphExtent extent = extentOf(*glyph);
        width += (extent.right - extent.left) * unit;
        if (i + 1 < text.size()) {
            width += layout.tracking * layout.capHeight;
        }
    }
    return width;
}

std::vector<Segment> layoutText(std::string_view text, float x, float top,
                                const TextLayout& layout) {
    float unit = layout.capHeight / 12.0f;
    std::vector<Segment> segments;
    float penX = x;
    for (char c : text) {
        const Glyph* glyph = findGlyph(c);
        if (!glyph) {
            continue;
        }
        GlyphExtent extent = extentOf(*glyph);
        auto point = [&](const char* p) {
            float gx = static_cast<float>(hexValue(p[0]) - extent.left);
            float gy = static_cast<float>(hexValue(p[1]));
            // Italic: the foot stays, the top leans right.
            return std::array<float, 2>{penX + (gx + (12.0f - gy) * layout.slant) * unit,
                                        top + gy * unit};
        };
        const char* p = glyph->strokes;
        while (*p) {
            if (*p == ' ') {
                ++p;
                continue;
            }
            std::array<float, 2> from = point(p);
            p += 2;
            if (*p == 0 || *p == ' ') {
                segments.push_back({from[0], from[1], from[0], from[1]}); // a dot
                continue;
            }
            while (*p && *p != ' ') {
                std::array<float, 2> to = point(p);
                segments.push_back({from[0], from[1], to[0], to[1]});
                from = to;
                p += 2;
            }
        }
        penX += (extent.right - extent.left) * unit + layout.tracking * layout.capHeight;
    }
    return segments;
}

std::vector<Segment> layoutCentred(std::string_view text, float centreX, float top,
                                   const TextLayout& layout) {
    return layoutText(text, centreX - textWidth(text, layout) * 0.5f, top, layout);
}

} // namespace korvanthe::assetgen
