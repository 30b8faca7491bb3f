// Lines of text in the demo's three looks, shared by the text pictures.
#pragma once

#include <string_view>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/stroke_font.h"

namespace korvanthe::assetgen {

enum class Look {
    Headline, // white to ice blue with a blue glow
    Accent,   // pink to violet with a magenta glow
    Body,     // soft white with a faint glow, for small text
};

// The layout with its cap height reduced, if needed, so the line fits into
// `maxWidth` design units.
TextLayout fitted(std::string_view text, TextLayout layout, float maxWidth);

// Draws one line centred on `centreX` with its top at `top`.
void drawLine(Canvas& canvas, std::string_view text, float centreX, float top,
              const TextLayout& layout, Look look);

} // namespace korvanthe::assetgen
