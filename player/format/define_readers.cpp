#include "define_readers.h"

#include <algorithm>

#include "place_object.h"

namespace player {

bool ReadDefineShape(BitReader& in, int version, ShapeDef& out, size_t& budget) {
  out.version = version;
  out.shape.bounds = ReadRect(in);
  if (version >= 4) {
    ReadRect(in);
    out.nonZero = (in.U8() & 0x04) != 0;
  }
  out.shape.tables.push_back(ReadStyles(in, version, budget));
  ReadShapeRecords(in, version, out.shape, true, budget);
  return !in.failed() || !out.shape.records.empty();
}

static FillStyle ReadMorphFill(BitReader& in, FillStyle& end) {
  FillStyle f;
  f.type = in.U8();
  end.type = f.type;
  switch (f.type) {
    case kFillSolid:
      f.color = ReadRgba(in);
      end.color = ReadRgba(in);
      break;
    case kFillLinear:
    case kFillRadial:
    case kFillFocal: {
      f.matrix = ReadMatrix(in);
      end.matrix = ReadMatrix(in);
      const uint8_t head = in.U8();
      f.spread = end.spread = static_cast<uint8_t>(head >> 6);
      f.interpolation = end.interpolation = static_cast<uint8_t>((head >> 4) & 3);
      const int count = head & 15;
      for (int i = 0; i < count; ++i) {
        GradientRecord s, e;
        s.ratio = in.U8();
        s.color = ReadRgba(in);
        e.ratio = in.U8();
        e.color = ReadRgba(in);
        f.stops.push_back(s);
        end.stops.push_back(e);
      }
      if (f.type == kFillFocal) {
        f.focal = in.Fixed8();
        end.focal = in.Fixed8();
      }
      break;
    }
    default:
      if (f.type < 0x40 || f.type > 0x43) {
        in.Skip(in.left() + 1);
        break;
      }
      f.bitmapId = end.bitmapId = in.U16();
      f.matrix = ReadMatrix(in);
      end.matrix = ReadMatrix(in);
      break;
  }
  return f;
}

bool ReadDefineMorphShape(BitReader& in, int version, MorphDef& out, size_t& budget) {
  out.startBounds = ReadRect(in);
  out.endBounds = ReadRect(in);
  if (version >= 2) {
    ReadRect(in);
    ReadRect(in);
    in.U8();
  }
  const uint32_t offset = in.U32();
  const size_t endEdges = in.pos() + offset;
  uint32_t count = in.U8();
  if (count == 0xff) count = in.U16();
  for (uint32_t i = 0; i < count && !in.failed() && budget > 0; ++i, --budget) {
    MorphFill f;
    f.start = ReadMorphFill(in, f.end);
    out.fills.push_back(f);
  }
  count = in.U8();
  if (count == 0xff) count = in.U16();
  for (uint32_t i = 0; i < count && !in.failed() && budget > 0; ++i, --budget) {
    MorphLine l;
    l.startWidth = in.U16();
    l.endWidth = in.U16();
    l.style.width = l.startWidth;
    if (version >= 2) {
      l.style.startCap = static_cast<uint8_t>(in.UBits(2));
      l.style.join = static_cast<uint8_t>(in.UBits(2));
      l.style.hasFill = in.Flag();
      l.style.noHScale = in.Flag();
      l.style.noVScale = in.Flag();
      in.UBits(6);
      l.style.noClose = in.Flag();
      l.style.endCap = static_cast<uint8_t>(in.UBits(2));
      if (l.style.join == 2) l.style.miterLimit = in.Fixed8();
      if (l.style.hasFill) {
        l.style.fill = ReadMorphFill(in, l.endFill);
        l.style.color = l.style.fill.color;
        l.endColor = l.endFill.color;
        out.lines.push_back(l);
        continue;
      }
    }
    l.style.color = ReadRgba(in);
    l.endColor = ReadRgba(in);
    out.lines.push_back(l);
  }
  if (in.failed()) return false;
  ReadShapeRecords(in, 3, out.start, false, budget);
  if (endEdges > in.pos() && endEdges <= in.size()) in.Skip(endEdges - in.pos());
  ReadShapeRecords(in, 3, out.end, false, budget);
  return !out.start.records.empty();
}

static Shape ReadGlyph(const uint8_t* data, size_t size, size_t& budget) {
  BitReader in(data, size);
  Shape glyph;
  ReadShapeRecords(in, 1, glyph, false, budget);
  return glyph;
}

bool ReadDefineFont(BitReader& in, FontDef& out, size_t& budget) {
  const uint8_t* table = in.here();
  const size_t tableSize = in.left();
  const uint16_t first = in.U16();
  const size_t n = first / 2u;
  std::vector<size_t> offsets{first};
  for (size_t i = 1; i < n; ++i) offsets.push_back(in.U16());
  if (in.failed()) return false;
  offsets.push_back(tableSize);
  for (size_t i = 0; i < n; ++i) {
    if (offsets[i] > offsets[i + 1] || offsets[i + 1] > tableSize) return false;
    out.glyphs.push_back(ReadGlyph(table + offsets[i], offsets[i + 1] - offsets[i], budget));
  }
  return true;
}

void ReadFontInfo(BitReader& in, int version, FontDef& font) {
  const uint8_t nameLen = in.U8();
  font.name.assign(reinterpret_cast<const char*>(in.here()), std::min<size_t>(nameLen, in.left()));
  in.Skip(nameLen);
  const uint8_t flags = in.U8();
  font.italic = flags & 0x04;
  font.bold = flags & 0x02;
  if (version >= 2) in.U8();
  font.codes.clear();
  for (size_t i = 0; i < font.glyphs.size() && !in.AtEnd(); ++i)
    font.codes.push_back((flags & 0x01) ? in.U16() : in.U8());
}

bool ReadDefineFont23(BitReader& in, int version, FontDef& out, size_t& budget) {
  out.emSquare = version == 3 ? 20480 : 1024;
  const uint8_t flags = in.U8();
  out.hasLayout = flags & 0x80;
  const bool wideOffsets = flags & 0x08;
  const bool wideCodes = flags & 0x04;
  out.italic = flags & 0x02;
  out.bold = flags & 0x01;
  in.U8();
  const uint8_t nameLen = in.U8();
  out.name.assign(reinterpret_cast<const char*>(in.here()), std::min<size_t>(nameLen, in.left()));
  in.Skip(nameLen);
  while (!out.name.empty() && out.name.back() == '\0') out.name.pop_back();
  const size_t n = in.U16();
  const uint8_t* table = in.here();
  const size_t tableStart = in.pos();
  std::vector<size_t> offsets;
  for (size_t i = 0; i <= n; ++i) offsets.push_back(wideOffsets ? in.U32() : in.U16());
  if (in.failed()) return n == 0;
  const size_t available = in.size() - tableStart;
  for (size_t i = 0; i < n; ++i) {
    const size_t from = offsets[i], to = offsets[i + 1];
    if (from > to || to > available) return false;
    out.glyphs.push_back(ReadGlyph(table + from, to - from, budget));
  }
  if (offsets[n] > available) return false;
  in.Skip(tableStart + offsets[n] - in.pos());
  for (size_t i = 0; i < n; ++i) out.codes.push_back(wideCodes ? in.U16() : in.U8());
  if (out.hasLayout) {
    out.ascent = in.U16();
    out.descent = in.U16();
    out.leading = in.S16();
    for (size_t i = 0; i < n; ++i) out.advances.push_back(in.S16());
  }
  return true;
}

bool ReadDefineText(BitReader& in, int version, TextDef& out) {
  out.bounds = ReadRect(in);
  out.matrix = ReadMatrix(in);
  const int glyphBits = in.U8();
  const int advanceBits = in.U8();
  TextRun state;
  while (!in.failed()) {
    const uint8_t flags = in.U8();
    if (flags == 0) break;
    if (flags & 0x08) state.fontId = in.U16();
    if (flags & 0x04) state.color = version >= 2 ? ReadRgba(in) : ReadRgb(in);
    if (flags & 0x01) state.x = in.S16();
    if (flags & 0x02) state.y = in.S16();
    if (flags & 0x08) state.height = in.U16();
    const uint8_t count = in.U8();
    TextRun run = state;
    for (int i = 0; i < count; ++i) {
      TextGlyph g;
      g.index = in.UBits(glyphBits);
      g.advance = in.SBits(advanceBits);
      run.glyphs.push_back(g);
      const int64_t x = static_cast<int64_t>(state.x) + g.advance;
      state.x = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
    }
    in.Align();
    if (!in.failed()) out.runs.push_back(std::move(run));
  }
  return !in.failed();
}

bool ReadDefineEditText(BitReader& in, EditTextDef& out) {
  out.bounds = ReadRect(in);
  const uint8_t f1 = in.U8(), f2 = in.U8();
  const bool hasText = f1 & 0x80;
  out.wordWrap = f1 & 0x40;
  out.multiline = f1 & 0x20;
  out.password = f1 & 0x10;
  out.readOnly = f1 & 0x08;
  const bool hasColor = f1 & 0x04, hasMax = f1 & 0x02, hasFont = f1 & 0x01;
  const bool hasFontClass = f2 & 0x80;
  out.autoSize = f2 & 0x40;
  const bool hasLayout = f2 & 0x20;
  out.noSelect = f2 & 0x10;
  out.border = f2 & 0x08;
  out.html = f2 & 0x02;
  out.useOutlines = f2 & 0x01;
  if (hasFont) out.fontId = in.U16();
  if (hasFontClass) in.String();
  if (hasFont || hasFontClass) out.height = in.U16();
  if (hasColor) out.color = ReadRgba(in);
  if (hasMax) in.U16();
  if (hasLayout) {
    out.align = in.U8();
    out.leftMargin = in.U16();
    out.rightMargin = in.U16();
    out.indent = in.U16();
    out.leading = in.S16();
  }
  out.variable = in.String();
  if (hasText) out.text = in.String();
  return !in.failed();
}

bool ReadDefineButton(BitReader& in, int version, ButtonDef& out) {
  size_t actionsAt = 0;
  if (version >= 2) {
    in.U8();
    const size_t here = in.pos();
    const uint16_t offset = in.U16();
    if (offset) actionsAt = here + offset;
  }
  while (!in.failed()) {
    const uint8_t flags = in.U8();
    if (flags == 0) break;
    ButtonRecord r;
    r.states = flags & 0x0f;
    r.characterId = in.U16();
    r.depth = in.U16();
    r.matrix = ReadMatrix(in);
    if (version >= 2) {
      r.cxform = ReadCxForm(in, true);
      if (flags & 0x10) r.filters = ReadFilters(in);
      if (flags & 0x20) r.blendMode = in.U8();
    }
    if (!in.failed()) out.records.push_back(r);
  }
  if (version == 1) actionsAt = in.pos();
  if (actionsAt && actionsAt < in.size()) {
    in.Skip(actionsAt - std::min(actionsAt, in.pos()));
    out.actions.assign(in.here(), in.here() + in.left());
  }
  return !out.records.empty() || !in.failed();
}

}  // namespace player
