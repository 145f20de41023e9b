#include "records.h"

namespace player {

Rect ReadRect(BitReader& in) {
  in.Align();
  const int n = static_cast<int>(in.UBits(5));
  Rect r;
  r.xmin = in.SBits(n);
  r.xmax = in.SBits(n);
  r.ymin = in.SBits(n);
  r.ymax = in.SBits(n);
  in.Align();
  return r;
}

SwfMatrix ReadMatrix(BitReader& in) {
  in.Align();
  SwfMatrix m;
  if (in.Flag()) {
    const int n = static_cast<int>(in.UBits(5));
    m.a = in.FBits(n);
    m.d = in.FBits(n);
  }
  if (in.Flag()) {
    const int n = static_cast<int>(in.UBits(5));
    m.b = in.FBits(n);
    m.c = in.FBits(n);
  }
  const int n = static_cast<int>(in.UBits(5));
  m.tx = in.SBits(n);
  m.ty = in.SBits(n);
  in.Align();
  return m;
}

CxForm ReadCxForm(BitReader& in, bool withAlpha) {
  in.Align();
  CxForm cx;
  const bool hasAdd = in.Flag();
  const bool hasMul = in.Flag();
  const int n = static_cast<int>(in.UBits(4));
  const int channels = withAlpha ? 4 : 3;
  if (hasMul)
    for (int i = 0; i < channels; ++i) cx.mul[i] = static_cast<float>(in.SBits(n)) / 256.0f;
  if (hasAdd)
    for (int i = 0; i < channels; ++i) cx.add[i] = static_cast<float>(in.SBits(n));
  in.Align();
  return cx;
}

Color ReadRgb(BitReader& in) {
  Color c;
  c.r = in.U8();
  c.g = in.U8();
  c.b = in.U8();
  return c;
}

Color ReadRgba(BitReader& in) {
  Color c = ReadRgb(in);
  c.a = in.U8();
  return c;
}

Color ReadArgb(BitReader& in) {
  Color c;
  c.a = in.U8();
  c.r = in.U8();
  c.g = in.U8();
  c.b = in.U8();
  return c;
}

FillStyle ReadFillStyle(BitReader& in, int shapeVersion) {
  FillStyle f;
  f.type = in.U8();
  switch (f.type) {
    case kFillSolid:
      f.color = shapeVersion >= 3 ? ReadRgba(in) : ReadRgb(in);
      break;
    case kFillLinear:
    case kFillRadial:
    case kFillFocal: {
      f.matrix = ReadMatrix(in);
      f.spread = static_cast<uint8_t>(in.UBits(2));
      f.interpolation = static_cast<uint8_t>(in.UBits(2));
      const uint32_t count = in.UBits(4);
      for (uint32_t i = 0; i < count && !in.failed(); ++i) {
        GradientRecord s;
        s.ratio = in.U8();
        s.color = shapeVersion >= 3 ? ReadRgba(in) : ReadRgb(in);
        f.stops.push_back(s);
      }
      if (f.type == kFillFocal) f.focal = in.Fixed8();
      break;
    }
    case kFillBitmapRepeat:
    case kFillBitmapClipped:
    case kFillBitmapRepeatHard:
    case kFillBitmapClippedHard:
      f.bitmapId = in.U16();
      f.matrix = ReadMatrix(in);
      break;
    default:
      in.Skip(in.left() + 1);  // unknown fill type: the rest cannot be parsed
      break;
  }
  return f;
}

static uint32_t ReadCount(BitReader& in) {
  uint32_t count = in.U8();
  if (count == 0xff) count = in.U16();
  return count;
}

static bool Spend(BitReader& in, size_t& budget) {
  if (budget == 0) {
    in.Fail();
    return false;
  }
  --budget;
  return true;
}

StyleTable ReadStyles(BitReader& in, int shapeVersion, size_t& budget) {
  StyleTable t;
  const uint32_t fills = ReadCount(in);
  for (uint32_t i = 0; i < fills && !in.failed() && Spend(in, budget); ++i)
    t.fills.push_back(ReadFillStyle(in, shapeVersion));
  const uint32_t lines = ReadCount(in);
  for (uint32_t i = 0; i < lines && !in.failed() && Spend(in, budget); ++i) {
    LineStyle l;
    l.width = in.U16();
    if (shapeVersion >= 4) {
      l.startCap = static_cast<uint8_t>(in.UBits(2));
      l.join = static_cast<uint8_t>(in.UBits(2));
      l.hasFill = in.Flag();
      l.noHScale = in.Flag();
      l.noVScale = in.Flag();
      in.UBits(1);  // pixel hinting
      in.UBits(5);
      l.noClose = in.Flag();
      l.endCap = static_cast<uint8_t>(in.UBits(2));
      if (l.join == 2) l.miterLimit = in.Fixed8();
      if (l.hasFill) {
        l.fill = ReadFillStyle(in, shapeVersion);
        l.color = l.fill.color;
      } else {
        l.color = ReadRgba(in);
      }
    } else {
      l.color = shapeVersion >= 3 ? ReadRgba(in) : ReadRgb(in);
    }
    t.lines.push_back(l);
  }
  return t;
}

void ReadShapeRecords(BitReader& in, int shapeVersion, Shape& shape, bool withStyles, size_t& budget) {
  in.Align();
  int fillBits = static_cast<int>(in.UBits(4));
  int lineBits = static_cast<int>(in.UBits(4));
  while (!in.failed() && Spend(in, budget)) {
    ShapeRecord r;
    if (in.Flag()) {
      const bool straight = in.Flag();
      const int n = static_cast<int>(in.UBits(4)) + 2;
      if (straight) {
        r.kind = ShapeRecord::kStraight;
        if (in.Flag()) {
          r.dx = in.SBits(n);
          r.dy = in.SBits(n);
        } else if (in.Flag()) {
          r.dy = in.SBits(n);
        } else {
          r.dx = in.SBits(n);
        }
      } else {
        r.kind = ShapeRecord::kCurve;
        r.cx = in.SBits(n);
        r.cy = in.SBits(n);
        r.dx = in.SBits(n);
        r.dy = in.SBits(n);
      }
      if (!in.failed()) shape.records.push_back(r);
      continue;
    }
    const uint32_t flags = in.UBits(5);
    if (flags == 0) break;
    const bool newStyles = flags & 16;
    r.hasLine = flags & 8;
    r.hasFill1 = flags & 4;
    r.hasFill0 = flags & 2;
    r.hasMove = flags & 1;
    if (r.hasMove) {
      const int n = static_cast<int>(in.UBits(5));
      r.moveX = in.SBits(n);
      r.moveY = in.SBits(n);
    }
    if (r.hasFill0) r.fill0 = in.UBits(fillBits);
    if (r.hasFill1) r.fill1 = in.UBits(fillBits);
    if (r.hasLine) r.line = in.UBits(lineBits);
    if (newStyles && withStyles) {
      shape.tables.push_back(ReadStyles(in, shapeVersion, budget));
      r.newTable = static_cast<int32_t>(shape.tables.size() - 1);
      fillBits = static_cast<int>(in.UBits(4));
      lineBits = static_cast<int>(in.UBits(4));
    }
    if (!in.failed()) shape.records.push_back(r);
  }
}

}  // namespace player
