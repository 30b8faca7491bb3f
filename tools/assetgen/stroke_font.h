// The demo's own lettering: an angular stroke font with chamfered corners,
// drawn as line segments so it scales to any size and antialiases cleanly.
#pragma once

#include <string_view>
#include <vector>

#include "tools/assetgen/canvas.h"

namespace korvanthe::assetgen {

struct TextLayout {
    float capHeight = 24.0f; // design units from the top of a capital to its foot
    float tracking = 0.35f;  // extra space between letters, in cap heights
    float slant = 0.0f;      // horizontal shift per unit of height (italic)
};

// True when the font has strokes (or a blank) for the character; lower case
// letters are drawn as capitals.
bool hasGlyph(char c);
// The advance of the text in design units.
float textWidth(std::string_view text, const TextLayout& layout);
// Segments of the text with its top-left corner at (x, top).
std::vector<Segment> layoutText(std::string_view text, float x, float top,
                                const TextLayout& layout);
// The same, centred horizontally on `centreX`.
std::vector<Segment> layoutCentred(std::string_view text, float centreX, float top,
                                   const TextLayout& layout);

} // namespace korvanthe::assetgen
