#include "dictionary.h"

namespace player {

Dictionary::Dictionary(const MovieData& movie) {
  for (const auto& [id, def] : movie.characters) {
    CharacterEntry entry;
    entry.def = def;
    if (const auto* shape = std::get_if<ShapeDef>(def.get())) {
      entry.geometry = BuildShape(*shape);
    } else if (const auto* font = std::get_if<FontDef>(def.get())) {
      fonts_.push_back(id);
      for (const Shape& glyph : font->glyphs) entry.glyphs.push_back(BuildGlyph(glyph));
    } else if (const auto* bitmap = std::get_if<BitmapDef>(def.get())) {
      entry.image.width = bitmap->width;
      entry.image.height = bitmap->height;
      entry.image.rgba = bitmap->rgba;
    }
    entries_.emplace(id, std::move(entry));
  }
}

uint16_t Dictionary::FindFont(const std::string& face, bool bold, bool italic) const {
  uint16_t named = 0;
  for (uint16_t id : fonts_) {
    const FontDef& f = std::get<FontDef>(*entries_.at(id).def);
    if (f.name != face) continue;
    if (f.bold == bold && f.italic == italic) return id;
    if (!named) named = id;
  }
  return named;
}

const CharacterEntry* Dictionary::Find(uint16_t id) const {
  auto it = entries_.find(id);
  return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace player
