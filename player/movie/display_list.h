#pragma once
// The display list: what stands at each depth of a timeline, and for a
// sprite, its own timeline position and display list.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "format/movie_data.h"
#include "raster/composite.h"
#include "raster/geometry.h"
#include "raster/image.h"
#include "shape_geometry.h"

namespace player {

constexpr int kMaxNesting = 64;  // sprites within sprites, buttons within buttons

struct Clip;

struct DisplayObject {
  uint16_t characterId = 0;
  Matrix matrix;  // in the parent's twips
  ColorTransform cxform;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clipDepth = 0;  // a mask over depths up to this one
  BlendMode blend = BlendMode::Normal;
  std::vector<FilterRecord> filters;
  bool cacheAsBitmap = false;
  bool visible = true;
  bool opaqueBackground = false;
  Color background;
  std::vector<uint8_t> clipActions;
  int placedFrame = -1;  // the frame whose tag created it, for rebuilding on goto
  std::shared_ptr<Clip> clip;  // sprites: their own timeline
  bool scripted = false;
  bool hasText = false;  // a text field's text set by script, in place of its own
  std::string text;  // made or moved by a script: the timeline leaves it alone
};

using DisplayList = std::map<int, DisplayObject>;

// A timeline being played: the root's or a sprite instance's.
struct Clip {
  const Timeline* timeline = nullptr;
  int frame = -1;  // 0-based index of the frame shown; -1 before the first
  bool playing = true;
  DisplayList list;
  uint32_t id = 0;  // scripts' handle, given on first sight, never reused
  std::shared_ptr<ShapeGeometry> drawing;  // drawn by script, under the children
  std::weak_ptr<Clip> mask;  // a script's mask: what of this clip shows
  bool isMask = false;       // serves as a script's mask, so is not drawn itself
  std::shared_ptr<const Image> bitmap;  // a script's bitmap shown as this clip, pixel for pixel
  bool smoothBitmap = false;
};

}  // namespace player
