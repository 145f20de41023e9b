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
  // A font by face name and style (the first defined when several match);
  // 0 when none has that name.
  uint16_t FindFont(const std::string& face, bool bold, bool italic) const;

 private:
  std::map<uint16_t, CharacterEntry> entries_;
  std::vector<uint16_t> fonts_;
};

}  // namespace player
