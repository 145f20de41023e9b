#pragma once
// Placing an edit text's initial text with embedded fonts: paragraphs,
// word wrap, alignment; HTML text's <b>, <i>, <font face size color>, <p
// align>, <br> and entities; other tags are dropped.
#include <functional>
#include <string>
#include <vector>

#include "format/movie_data.h"
#include "raster/geometry.h"

namespace player {

struct PlacedGlyph {
  uint16_t fontId = 0;
  uint32_t index = 0;  // into the font's glyphs
  Matrix matrix;       // glyph units to the field's twips
  Color color;
};

// The font to use for a face name and style: its id and definition, or null.
using FontLookup =
    std::function<const FontDef*(const std::string& face, bool bold, bool italic, uint16_t& id)>;

std::vector<PlacedGlyph> LayoutEditText(const EditTextDef& text, const FontLookup& fonts);

}  // namespace player
