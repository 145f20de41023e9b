#include "text_layout.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace player {
namespace {

constexpr double kGutter = 40;  // twips between a field's edge and its text

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xc0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else {
    out.push_back(static_cast<char>(0xe0 | ((c >> 12) & 0x0f)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
  }
}

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

}  // namespace

std::string StripHtml(const std::string& html) {
  std::string out;
  for (size_t i = 0; i < html.size();) {
    const char ch = html[i];
    if (ch == '<') {
      const size_t end = html.find('>', i);
      if (end == std::string::npos) break;
      std::string tag = Lower(html.substr(i + 1, end - i - 1));
      const std::string name = tag.substr(0, tag.find_first_of(" /\t"));
      if (name == "br" || tag == "/p" || tag == "/li") out.push_back('\n');
      i = end + 1;
    } else if (ch == '&') {
      const size_t end = html.find(';', i);
      const std::string entity = end == std::string::npos ? "" : html.substr(i + 1, end - i - 1);
      static const std::map<std::string, char> kNamed = {
          {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
      auto it = kNamed.find(entity);
      if (it != kNamed.end()) {
        out.push_back(it->second);
        i = end + 1;
      } else if (entity.size() > 1 && entity[0] == '#') {
        const bool hex = entity[1] == 'x' || entity[1] == 'X';
        AppendUtf8(out, static_cast<uint32_t>(std::strtoul(entity.c_str() + (hex ? 2 : 1), nullptr,
                                                            hex ? 16 : 10)) & 0xffff);
        i = end + 1;
      } else {
        out.push_back('&');
        ++i;
      }
    } else {
      out.push_back(ch);
      ++i;
    }
  }
  if (!out.empty() && out.back() == '\n') out.pop_back();  // the closing paragraph's break
  return out;
}

std::vector<PlacedGlyph> LayoutEditText(const EditTextDef& text, const FontDef& font) {
  std::vector<PlacedGlyph> placed;
  std::map<uint32_t, uint32_t> glyphOf;
  for (size_t i = 0; i < font.codes.size(); ++i) glyphOf.emplace(font.codes[i], static_cast<uint32_t>(i));
  const double scale = text.height / font.emSquare;
  const double ascent = font.hasLayout ? font.ascent * scale : text.height * 0.8;
  const double descent = font.hasLayout ? font.descent * scale : text.height * 0.2;
  const double lineStep = ascent + descent + text.leading;
  const double left = text.bounds.xmin + kGutter + text.leftMargin;
  const double right = text.bounds.xmax - kGutter - text.rightMargin;
  auto advance = [&](uint32_t glyph) {
    if (glyph < font.advances.size()) return font.advances[glyph] * scale;
    return text.height * 0.5;
  };
  // Lines of glyph indices with their widths, broken at newlines and, when
  // the field wraps, at the last space that fits.
  struct Line {
    std::vector<uint32_t> glyphs;
    double width = 0;
  };
  std::vector<Line> lines(1);
  const std::string shown = text.html ? StripHtml(text.text) : text.text;
  std::vector<uint32_t> codes = DecodeUtf8(shown);
  for (size_t i = 0; i < codes.size(); ++i) {
    const uint32_t c = codes[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n') ++i;
      lines.emplace_back();
      continue;
    }
    auto it = glyphOf.find(c);
    if (it == glyphOf.end()) continue;
    Line& line = lines.back();
    const double w = advance(it->second);
    if (text.wordWrap && line.width + w > right - left && !line.glyphs.empty()) {
      // Move the last word down a line when there is a space to break at.
      size_t cut = line.glyphs.size();
      auto space = glyphOf.find(' ');
      while (cut > 0 && (space == glyphOf.end() || line.glyphs[cut - 1] != space->second)) --cut;
      Line next;
      if (cut > 0) {
        next.glyphs.assign(line.glyphs.begin() + static_cast<std::ptrdiff_t>(cut), line.glyphs.end());
        line.glyphs.resize(cut - 1);
      }
      line.width = 0;
      for (uint32_t g : line.glyphs) line.width += advance(g);
      for (uint32_t g : next.glyphs) next.width += advance(g);
      lines.push_back(std::move(next));
    }
    lines.back().glyphs.push_back(it->second);
    lines.back().width += w;
  }
  double baseline = text.bounds.ymin + kGutter + ascent;
  for (const Line& line : lines) {
    double x = left;
    if (text.align == 1) x = right - line.width;
    else if (text.align == 2) x = (left + right - line.width) / 2;
    for (uint32_t g : line.glyphs) {
      placed.push_back({g, Matrix{scale, 0, 0, scale, x, baseline}, text.color});
      x += advance(g);
    }
    baseline += lineStep;
  }
  return placed;
}

}  // namespace player
