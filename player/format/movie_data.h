#pragma once
// A movie as read from its bytes: the header, the characters it defines and
// the control tags of each frame of the root timeline and of each sprite.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "records.h"

namespace player {

// Caps for hostile movies; each message that hits one names its value.
constexpr size_t kMaxMovieBytes = 64u << 20;      // a movie's bytes once inflated
constexpr int64_t kMaxBitmapPixels = 16 << 20;    // one bitmap
constexpr int64_t kMaxTotalBitmapPixels = 64 << 20;
constexpr size_t kMaxFrames = 16000;              // frames of one timeline
constexpr size_t kMaxShapeElements = 4u << 20;    // shape records and styles in all
constexpr size_t kMaxTimelineTags = 1u << 20;     // frames and control tags of all timelines

struct FilterRecord {
  enum Kind : uint8_t { kDropShadow, kBlur, kGlow, kBevel, kGradientGlow, kConvolution, kColorMatrix,
                        kGradientBevel } kind = kBlur;
  Color color, highlight;  // bevel: shadow in color
  double blurX = 4, blurY = 4, angle = 0, distance = 0, strength = 1;
  bool inner = false, knockout = false, compositeSource = true, onTop = false;
  int passes = 1;
  float matrix[20] = {};
};

struct PlaceObject {
  int version = 2;
  uint16_t depth = 0;
  bool move = false;
  bool hasCharacter = false, hasMatrix = false, hasCxForm = false, hasRatio = false, hasName = false,
       hasClipDepth = false, hasFilters = false, hasBlend = false, hasCache = false, hasVisible = false,
       hasClipActions = false, hasBackground = false;
  uint16_t characterId = 0;
  SwfMatrix matrix;
  CxForm cxform;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clipDepth = 0;
  std::vector<FilterRecord> filters;
  uint8_t blendMode = 0;
  bool cacheAsBitmap = false;
  bool visible = true;
  Color background;  // opaque background behind the object's bounds
  std::vector<uint8_t> clipActions;  // CLIPACTIONS bytes, run by the script side
};

// One control tag of a frame, in file order.
struct FrameTag {
  enum Kind : uint8_t { kPlace, kRemove, kAction, kInitAction, kLabel } kind = kPlace;
  PlaceObject place;               // kPlace
  uint16_t depth = 0;              // kRemove
  uint16_t spriteId = 0;           // kInitAction
  std::vector<uint8_t> actions;    // kAction, kInitAction
  std::string label;               // kLabel
};

struct Timeline {
  uint16_t frameCount = 1;
  std::vector<std::vector<FrameTag>> frames;  // one list per frame
};

struct ShapeDef {
  Shape shape;
  int version = 1;
  bool nonZero = false;  // DefineShape4's winding rule
};

struct MorphFill { FillStyle start, end; };
struct MorphLine { uint16_t startWidth = 0, endWidth = 0; LineStyle style; Color endColor; FillStyle endFill; };
struct MorphDef {
  Rect startBounds, endBounds;
  std::vector<MorphFill> fills;
  std::vector<MorphLine> lines;
  Shape start, end;  // records only; styles above
};

struct BitmapDef {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // premultiplied, rows top down
};

struct FontDef {
  std::string name;
  bool bold = false, italic = false;
  double emSquare = 1024;  // glyph units per em: 20480 for DefineFont3
  std::vector<Shape> glyphs;
  std::vector<uint16_t> codes;
  bool hasLayout = false;
  int ascent = 0, descent = 0, leading = 0;
  std::vector<int16_t> advances;
};

struct TextGlyph { uint32_t index = 0; int32_t advance = 0; };
struct TextRun {
  uint16_t fontId = 0;
  Color color;
  int32_t x = 0, y = 0;
  uint16_t height = 0;
  std::vector<TextGlyph> glyphs;
};
struct TextDef {
  Rect bounds;
  SwfMatrix matrix;
  std::vector<TextRun> runs;
};

struct EditTextDef {
  Rect bounds;
  bool wordWrap = false, multiline = false, password = false, readOnly = false, html = false,
       useOutlines = false, border = false, noSelect = false, autoSize = false;
  uint16_t fontId = 0;
  uint16_t height = 240;
  Color color{0, 0, 0, 255};
  uint8_t align = 0;  // left, right, center, justify
  uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
  int16_t leading = 0;
  std::string variable, text;
};

struct ButtonRecord {
  uint8_t states = 0;  // 1 up, 2 over, 4 down, 8 hit test
  uint16_t characterId = 0, depth = 0;
  SwfMatrix matrix;
  CxForm cxform;
  std::vector<FilterRecord> filters;
  uint8_t blendMode = 0;
};
struct ButtonDef {
  std::vector<ButtonRecord> records;
  std::vector<uint8_t> actions;  // BUTTONCONDACTION bytes (or version 1's action bytes)
};

struct SpriteDef {
  Timeline timeline;
};

using Character = std::variant<ShapeDef, MorphDef, BitmapDef, FontDef, TextDef, EditTextDef, ButtonDef,
                               SpriteDef>;

struct MovieData {
  int version = 0;
  Rect stage;
  double frameRate = 12;
  Color background{255, 255, 255, 255};
  Timeline root;
  std::map<uint16_t, std::shared_ptr<const Character>> characters;
  std::map<std::string, uint16_t> exports;  // ExportAssets names for attachMovie
  std::vector<std::string> warnings;        // damaged tags skipped
};

// Reads a whole movie. Returns "" and fills `movie`, or a one-line message.
std::string ReadMovie(const std::vector<uint8_t>& bytes, MovieData& movie);

}  // namespace player
