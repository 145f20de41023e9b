#pragma once
// The format's basic records: rectangles, matrices, colour transforms,
// colours, fill and line styles, shape records. Coordinates stay in twips.
#include <cstdint>
#include <string>
#include <vector>

#include "bit_reader.h"

namespace player {

struct Rect { int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0; };
// x' = a*x + c*y + tx; translation in twips.
struct SwfMatrix { double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0; };
struct Color { uint8_t r = 0, g = 0, b = 0, a = 255; };
struct CxForm { float mul[4] = {1, 1, 1, 1}; float add[4] = {0, 0, 0, 0}; };

struct GradientRecord { uint8_t ratio = 0; Color color; };

enum FillType : uint8_t {
  kFillSolid = 0x00, kFillLinear = 0x10, kFillRadial = 0x12, kFillFocal = 0x13,
  kFillBitmapRepeat = 0x40, kFillBitmapClipped = 0x41,
  kFillBitmapRepeatHard = 0x42, kFillBitmapClippedHard = 0x43,
};

struct FillStyle {
  uint8_t type = kFillSolid;
  Color color;
  SwfMatrix matrix;
  std::vector<GradientRecord> stops;
  uint8_t spread = 0;         // 0 pad, 1 reflect, 2 repeat
  uint8_t interpolation = 0;  // 0 RGB, 1 linear RGB
  double focal = 0;
  uint16_t bitmapId = 0;
};

struct LineStyle {
  uint16_t width = 0;  // twips
  Color color;
  uint8_t startCap = 0, endCap = 0, join = 0;  // 0 round, 1 none / bevel, 2 square / miter
  double miterLimit = 3;
  bool noHScale = false, noVScale = false, noClose = false;
  bool hasFill = false;
  FillStyle fill;
};

// Style tables a shape starts with and each new-styles record brings.
struct StyleTable {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
};

struct ShapeRecord {
  enum Kind : uint8_t { kStyle, kStraight, kCurve } kind = kStyle;
  // kStyle
  bool hasMove = false, hasFill0 = false, hasFill1 = false, hasLine = false;
  int32_t moveX = 0, moveY = 0;
  uint32_t fill0 = 0, fill1 = 0, line = 0;
  int32_t newTable = -1;  // index into Shape::tables
  // kStraight: (dx, dy); kCurve: control (cx, cy) then anchor (dx, dy), both relative
  int32_t cx = 0, cy = 0, dx = 0, dy = 0;
};

struct Shape {
  Rect bounds;
  std::vector<StyleTable> tables;  // tables[0]: the initial styles
  std::vector<ShapeRecord> records;
};

Rect ReadRect(BitReader& in);
SwfMatrix ReadMatrix(BitReader& in);
CxForm ReadCxForm(BitReader& in, bool withAlpha);
Color ReadRgb(BitReader& in);
Color ReadRgba(BitReader& in);
Color ReadArgb(BitReader& in);

// `shapeVersion` 1-4 (DefineShape N); 1 or 2 also for glyphs (no styles).
// `budget` counts down the styles and records a movie may hold (memory);
// at 0 the reader fails.
StyleTable ReadStyles(BitReader& in, int shapeVersion, size_t& budget);
FillStyle ReadFillStyle(BitReader& in, int shapeVersion);
// Reads records up to the end record; style tables found on the way are
// appended to `shape.tables`. `withStyles` false for glyph shapes.
void ReadShapeRecords(BitReader& in, int shapeVersion, Shape& shape, bool withStyles, size_t& budget);

}  // namespace player
