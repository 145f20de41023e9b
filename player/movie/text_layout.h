#pragma once
// Placing an edit text's initial text with its embedded font: lines, word
// wrap, alignment; HTML text has its tags stripped and its entities decoded.
#include <vector>

#include "format/movie_data.h"
#include "raster/geometry.h"

namespace player {

struct PlacedGlyph {
  uint32_t index = 0;  // into the font's glyphs
  Matrix matrix;       // glyph units to the field's twips
  Color color;
};

std::vector<PlacedGlyph> LayoutEditText(const EditTextDef& text, const FontDef& font);

// The text an HTML field shows: tags removed, <br> and </p> as line breaks,
// the five named entities and numeric ones decoded (to UTF-8).
std::string StripHtml(const std::string& html);

}  // namespace player
