// Edit text layout against positions worked out by hand: a font whose every
// glyph advances half an em, so that at 200 twips a glyph is 100 twips wide
// in a field with room for four between its 40-twip gutters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/text_layout.h"

namespace {

player::FontDef TestFont(bool bold) {
  player::FontDef font;
  font.name = "Test";
  font.bold = bold;
  font.emSquare = 1024;
  font.codes = {'a', 'b', ' ', '&'};
  font.glyphs.resize(font.codes.size());
  font.advances.assign(font.codes.size(), 512);
  font.hasLayout = true;
  font.ascent = 800;  // 156.25 twips at 200
  font.descent = 224;  // 43.75
  return font;
}

struct Glyph {
  int x, baseline;
  char code;
};

std::vector<Glyph> Layout(const std::string& text, bool html, uint8_t align, bool wrap, uint16_t* fontOf = nullptr,
                          player::Color* colorOf = nullptr) {
  static const player::FontDef regular = TestFont(false), bold = TestFont(true);
  player::EditTextDef field;
  field.bounds = {0, 480, 0, 1000};
  field.fontId = 1;
  field.height = 200;
  field.html = html;
  field.align = align;
  field.wordWrap = wrap;
  field.text = text;
  field.color = {0, 0, 0, 255};
  const player::FontLookup fonts = [](const std::string& face, bool isBold, bool, uint16_t& id) {
    if (face == "Test" && isBold) id = 2;
    return id == 2 ? &bold : &regular;
  };
  std::vector<Glyph> out;
  for (const player::PlacedGlyph& g : player::LayoutEditText(field, fonts)) {
    out.push_back({static_cast<int>(g.matrix.tx), static_cast<int>(g.matrix.ty * 4),
                   static_cast<char>(regular.codes[g.index])});
    if (fontOf) *fontOf++ = g.fontId;
    if (colorOf) *colorOf++ = g.color;
  }
  return out;
}

std::string Describe(const std::vector<Glyph>& glyphs) {
  std::string s;
  for (const Glyph& g : glyphs) s += std::string(1, g.code) + "@" + std::to_string(g.x) + "," + std::to_string(g.baseline) + " ";
  return s;
}

TEST(PlayerText, LinesAlignmentWrapAndHtml) {
  // Baselines in quarter twips: 4 * (40 + 156.25) = 785, then 200 a line.
  const struct {
    const char* text;
    bool html;
    uint8_t align;
    bool wrap;
    const char* want;
  } cases[] = {
      {"ab", false, 0, false, "a@40,785 b@140,785 "},
      {"ab", false, 1, false, "a@240,785 b@340,785 "},
      {"ab", false, 2, false, "a@140,785 b@240,785 "},
      {"ab\nba", false, 0, false, "a@40,785 b@140,785 b@40,1585 a@140,1585 "},
      {"ab\r\nb", false, 0, false, "a@40,785 b@140,785 b@40,1585 "},
      // Wrapped at the last space that fits; the space goes.
      {"ab ab ab", false, 0, true, "a@40,785 b@140,785 a@40,1585 b@140,1585 a@40,2385 b@140,2385 "},
      // Unwrapped, a long line runs on.
      {"ab ab", false, 0, false, "a@40,785 b@140,785  @240,785 a@340,785 b@440,785 "},
      {"<p align=\"center\">a&amp;b</p>", true, 0, false, "a@90,785 &@190,785 b@290,785 "},
      {"<p align='right'>a</p><p>b</p>", true, 0, false, "a@340,785 b@40,1585 "},
      {"a<br>b<unknown x=1>a</unknown>", true, 0, false, "a@40,785 b@40,1585 a@140,1585 "},
      {"a&#98;&lt;", true, 0, false, "a@40,785 b@140,785 "},  // no glyph for '<'
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(Layout(c.text, c.html, c.align, c.wrap)), c.want) << c.text;
}

TEST(PlayerText, HtmlStylesPickFontsAndColours) {
  uint16_t fonts[8] = {};
  player::Color colors[8] = {};
  Layout("<font face=\"Test\">a<b>b</b><font color=\"#ff8000\">a</font></font>", true, 0, false, fonts, colors);
  EXPECT_EQ(fonts[0], 1);
  EXPECT_EQ(fonts[1], 2);  // the bold face of the same name
  EXPECT_EQ(fonts[2], 1);
  EXPECT_EQ(colors[0].r, 0);
  EXPECT_EQ(colors[2].r, 255);
  EXPECT_EQ(colors[2].g, 128);
  EXPECT_EQ(colors[2].b, 0);
}

}  // namespace
