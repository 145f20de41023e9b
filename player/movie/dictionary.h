#pragma once
// The characters a movie defines, with what drawing needs prepared once:
// shape edges, glyph edges, bitmaps as images.
#include <cstdint>
#include <map>
#include <memory>

#include "format/movie_data.h"
#include "raster/image.h"
#include "shape_geometry.h"

namespace player {

struct CharacterEntry {
  std::shared_ptr<const Character> def;
  ShapeGeometry geometry;             // shapes
  std::vector<ShapeGeometry> glyphs;  // fonts
  Image image;                        // bitmaps
};

class Dictionary {
 public:
  explicit Dictionary(const MovieData& movie);
  const CharacterEntry* Find(uint16_t id) const;

 private:
  std::map<uint16_t, CharacterEntry> entries_;
};

}  // namespace player
