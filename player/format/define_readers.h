#pragma once
// Parsers of the defining tags (shapes spend `budget`, see ReadStyles); each reads one tag's bytes and returns false
// (or a message) when the tag is damaged.
#include <string>

#include "bit_reader.h"
#include "movie_data.h"

namespace player {

bool ReadDefineShape(BitReader& in, int version, ShapeDef& out, size_t& budget);
bool ReadDefineMorphShape(BitReader& in, int version, MorphDef& out, size_t& budget);
bool ReadDefineFont(BitReader& in, FontDef& out, size_t& budget);
bool ReadDefineFont23(BitReader& in, int version, FontDef& out, size_t& budget);
void ReadFontInfo(BitReader& in, int version, FontDef& font);
bool ReadDefineText(BitReader& in, int version, TextDef& out);
bool ReadDefineEditText(BitReader& in, EditTextDef& out);
bool ReadDefineButton(BitReader& in, int version, ButtonDef& out);

// Bitmaps; `tables` the movie's JPEGTables (may be empty).
std::string ReadLossless(BitReader& in, int version, BitmapDef& out, int64_t& pixelBudget);
std::string ReadJpegBitmap(BitReader& in, int tagCode, const std::vector<uint8_t>& tables,
                           BitmapDef& out, int64_t& pixelBudget);

}  // namespace player
