#include "text_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

namespace player {
namespace {

constexpr double kGutter = 40;  // twips between a field's edge and its text

struct Style {
  std::string face;
  bool bold = false, italic = false;
  double height = 240;  // twips
  Color color;
};

struct Char {
  uint32_t code;
  Style style;
  uint8_t align;
};

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    int extra = b >= 0xf0 ? 3 : b >= 0xe0 ? 2 : b >= 0xc0 ? 1 : 0;
    uint32_t c = extra == 3 ? b & 0x07u : extra == 2 ? b & 0x0fu : extra == 1 ? b & 0x1fu : b;
    size_t j = i + 1;
    for (; extra > 0 && j < s.size() && (static_cast<uint8_t>(s[j]) & 0xc0) == 0x80; --extra, ++j)
      c = (c << 6) | (static_cast<uint8_t>(s[j]) & 0x3fu);
    if (extra > 0) c = b;  // not UTF-8: take the byte as Latin-1
    out.push_back(c);
    i = extra > 0 ? i + 1 : j;
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// The value of attribute `name` in a tag's text, quoted or not.
bool Attribute(const std::string& tag, const std::string& name, std::string& value) {
  const std::string lower = Lower(tag);
  size_t at = 0;
  while ((at = lower.find(name, at)) != std::string::npos) {
    const bool starts = at > 0 && std::isspace(static_cast<unsigned char>(lower[at - 1]));
    size_t p = at + name.size();
    while (p < lower.size() && lower[p] == ' ') ++p;
    if (starts && p < lower.size() && lower[p] == '=') {
      ++p;
      while (p < lower.size() && lower[p] == ' ') ++p;
      const char quote = p < tag.size() && (tag[p] == '"' || tag[p] == '\'') ? tag[p] : 0;
      if (quote) ++p;
      size_t end = p;
      while (end < tag.size() && (quote ? tag[end] != quote : !std::isspace(static_cast<unsigned char>(tag[end]))))
        ++end;
      value = tag.substr(p, end - p);
      return true;
    }
    at = p;
  }
  return false;
}

uint8_t AlignOf(const std::string& value) {
  const std::string v = Lower(value);
  return v == "right" ? 1 : v == "center" ? 2 : v == "justify" ? 3 : 0;
}

uint32_t Entity(const std::string& html, size_t& i) {
  const size_t end = html.find(';', i);
  if (end == std::string::npos || end - i > 10) return '&';
  const std::string e = html.substr(i + 1, end - i - 1);
  static const std::map<std::string, uint32_t> kNamed = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xa0}};
  uint32_t c = 0;
  auto it = kNamed.find(e);
  if (it != kNamed.end()) c = it->second;
  else if (e.size() > 1 && e[0] == '#')
    c = static_cast<uint32_t>(e[1] == 'x' || e[1] == 'X' ? std::strtoul(e.c_str() + 2, nullptr, 16)
                                                          : std::strtoul(e.c_str() + 1, nullptr, 10));
  else return '&';
  i = end;
  return c;
}

std::vector<Char> ParseHtml(const std::string& html, const Style& base, const uint8_t fieldAlign) {
  uint8_t align = fieldAlign;
  std::vector<Char> out;
  std::vector<Style> stack{base};
  std::vector<std::string> opened;
  std::string text;
  auto flushText = [&]() {
    for (uint32_t c : DecodeUtf8(text)) out.push_back({c, stack.back(), align});
    text.clear();
  };
  for (size_t i = 0; i < html.size(); ++i) {
    const char ch = html[i];
    if (ch == '<') {
      const size_t end = html.find('>', i);
      if (end == std::string::npos) break;
      flushText();
      const std::string tag = html.substr(i + 1, end - i - 1);
      i = end;
      const bool closing = !tag.empty() && tag[0] == '/';
      const std::string body = closing ? tag.substr(1) : tag;
      const std::string name = Lower(body.substr(0, body.find_first_of(" \t/")));
      if (name == "br" || name == "sbr") {
        out.push_back({'\n', stack.back(), align});
        continue;
      }
      if (name == "p" || name == "li") {
        if (closing) out.push_back({'\n', stack.back(), align});
        std::string value;
        if (!closing) align = Attribute(body, "align", value) ? AlignOf(value) : fieldAlign;
        if (!closing && out.size() && out.back().code == '\n') out.back().align = align;
        continue;
      }
      if (name != "b" && name != "i" && name != "font" && name != "u") continue;
      if (closing) {
        if (stack.size() > 1) stack.pop_back();
        continue;
      }
      Style s = stack.back();
      std::string value;
      if (name == "b") s.bold = true;
      if (name == "i") s.italic = true;
      if (name == "font") {
        if (Attribute(body, "face", value)) s.face = value;
        if (Attribute(body, "size", value)) {
          const double size = std::atof(value.c_str());
          if (value[0] == '+' || value[0] == '-') s.height += size * 20;
          else if (size > 0) s.height = size * 20;
        }
        if (Attribute(body, "color", value) && value.size() == 7 && value[0] == '#') {
          const unsigned long rgb = std::strtoul(value.c_str() + 1, nullptr, 16);
          s.color = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb),
                     255};
        }
      }
      if (stack.size() < 64) stack.push_back(s);
    } else if (ch == '&') {
      flushText();
      const uint32_t c = Entity(html, i);
      out.push_back({c, stack.back(), align});
    } else {
      text.push_back(ch);
    }
  }
  flushText();
  if (!out.empty() && out.back().code == '\n') out.pop_back();  // the last paragraph's end
  // A paragraph's alignment is the one its <p> gave: set it on every char.
  return out;
}

struct Item {
  uint16_t fontId;
  uint32_t glyph;
  double scale, advance, ascent, descent;
  Color color;
  bool space;
};
struct Line {
  std::vector<Item> items;
  double width = 0;
  uint8_t align = 0;
};

}  // namespace

std::vector<PlacedGlyph> LayoutEditText(const EditTextDef& text, const FontLookup& fonts) {
  Style base;
  uint16_t baseId = text.fontId;
  const FontDef* baseFont = fonts("", false, false, baseId);
  if (baseFont) {
    base.face = baseFont->name;  // HTML text is plain outside <b> and <i>, whatever the field's font
  }
  base.height = text.height;
  base.color = text.color;
  std::vector<Char> chars;
  if (text.html) {
    chars = ParseHtml(text.text, base, text.align);
  } else {
    for (uint32_t c : DecodeUtf8(text.text)) chars.push_back({c, base, text.align});
  }
  const double left = text.bounds.xmin + kGutter + text.leftMargin;
  const double right = text.bounds.xmax - kGutter - text.rightMargin;
  std::vector<Line> lines(1);
  lines.back().align = chars.empty() ? text.align : chars.front().align;
  std::map<std::tuple<std::string, bool, bool>, std::pair<const FontDef*, uint16_t>> cache;
  for (size_t i = 0; i < chars.size(); ++i) {
    const Char& ch = chars[i];
    if (ch.code == '\r' || ch.code == '\n') {
      if (ch.code == '\r' && i + 1 < chars.size() && chars[i + 1].code == '\n') ++i;
      lines.emplace_back();
      lines.back().align = i + 1 < chars.size() ? chars[i + 1].align : ch.align;
      continue;
    }
    auto key = std::make_tuple(ch.style.face, ch.style.bold, ch.style.italic);
    auto found = cache.find(key);
    if (found == cache.end()) {
      uint16_t id = baseId;
      const FontDef* f = fonts(ch.style.face, ch.style.bold, ch.style.italic, id);
      found = cache.emplace(key, std::make_pair(f, id)).first;
    }
    const FontDef* font = found->second.first;
    if (!font) continue;
    const auto code = std::find(font->codes.begin(), font->codes.end(), ch.code);
    if (code == font->codes.end()) continue;
    const auto glyph = static_cast<uint32_t>(code - font->codes.begin());
    const double scale = ch.style.height / font->emSquare;
    const double advance = glyph < font->advances.size() ? font->advances[glyph] * scale : ch.style.height * 0.5;
    Item item{found->second.second, glyph, scale, advance,
              font->hasLayout ? font->ascent * scale : ch.style.height * 0.8,
              font->hasLayout ? font->descent * scale : ch.style.height * 0.2, ch.style.color, ch.code == ' '};
    Line& line = lines.back();
    // A line may overrun by a pixel before it wraps: the format's players
    // measure in whole pixels.
    if (text.wordWrap && line.width + item.advance > right - left + 20 && !line.items.empty()) {
      // Move the last word down a line when there is a space to break at.
      size_t cut = line.items.size();
      while (cut > 0 && !line.items[cut - 1].space) --cut;
      Line next;
      next.align = line.align;
      if (cut > 0) {
        next.items.assign(line.items.begin() + static_cast<std::ptrdiff_t>(cut), line.items.end());
        line.items.resize(cut - 1);
      }
      line.width = 0;
      for (const Item& it : line.items) line.width += it.advance;
      for (const Item& it : next.items) next.width += it.advance;
      lines.push_back(std::move(next));
    }
    lines.back().items.push_back(item);
    lines.back().width += item.advance;
  }
  std::vector<PlacedGlyph> placed;
  double top = text.bounds.ymin + kGutter;
  const double baseScale = baseFont ? text.height / baseFont->emSquare : 0;
  for (const Line& line : lines) {
    double ascent = 0, descent = 0;
    for (const Item& it : line.items) {
      ascent = std::max(ascent, it.ascent);
      descent = std::max(descent, it.descent);
    }
    if (line.items.empty() && baseFont) {
      ascent = baseFont->hasLayout ? baseFont->ascent * baseScale : text.height * 0.8;
      descent = baseFont->hasLayout ? baseFont->descent * baseScale : text.height * 0.2;
    }
    double x = left;
    if (line.align == 1) x = right - line.width;
    else if (line.align == 2) x = (left + right - line.width) / 2;
    const double baseline = top + ascent;
    for (const Item& it : line.items) {
      placed.push_back({it.fontId, it.glyph, Matrix{it.scale, 0, 0, it.scale, x, baseline}, it.color});
      x += it.advance;
    }
    top = baseline + descent + text.leading;
  }
  return placed;
}

}  // namespace player
