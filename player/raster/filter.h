// Filters on a layer image: blur, drop shadow, glow, bevel, colour matrix.
#pragma once

#include "raster/image.h"

namespace player {

struct Filter {
  enum class Kind { Blur, DropShadow, Glow, Bevel, ColorMatrix } kind = Kind::Blur;
  enum class Place { Inner, Outer, Full };  // bevel: which side of the edge it draws
  double blurX = 4, blurY = 4;              // pixels
  int passes = 1;                           // box blur passes, 1..15
  Rgba color{0, 0, 0, 255};                 // shadow, glow, bevel's shadow
  Rgba highlight{255, 255, 255, 255};       // bevel's highlight
  double angle = 0.7853981633974483;        // radians
  double distance = 4;                      // pixels
  double strength = 1;                      // 0..255
  bool inner = false;
  bool knockout = false;
  bool hideObject = false;  // drop shadow: the shadow alone
  Place place = Place::Inner;
  float matrix[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
};

// How many pixels a filter reaches past what it is given: the caller draws the
// layer with at least this margin on every side.
int FilterMargin(const Filter& filter);
// In place; the image keeps its size.
void ApplyFilter(Image& image, const Filter& filter);

}  // namespace player
