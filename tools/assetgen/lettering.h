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

// The title's chrome, for letters whose caps run from `top` down `cap` design
// units: white at the top, ice blue to the middle, a dark line, then violet
// to magenta at the foot. The title picture and the icon share it.
Paint chromeGradient(float top, float cap);

// Draws one line centred on `centreX` with its top at `top`.
void drawLine(Canvas& canvas, std::string_view text, float centreX, float top,
              const TextLayout& layout, Look look);

} // namespace korvanthe::assetgen
