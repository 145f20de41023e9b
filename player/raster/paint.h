// What a fill is painted with: a solid colour, a gradient or a bitmap.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/geometry.h"
#include "raster/image.h"

namespace player {

enum class Spread { Pad, Reflect, Repeat };
enum class Interpolation { Rgb, LinearRgb };

struct GradientStop {
  uint8_t ratio;
  Rgba color;
};

struct Paint {
  enum class Kind { Solid, Linear, Radial, Focal, Bitmap } kind = Kind::Solid;
  Rgba color{0, 0, 0, 255};
  // Gradients: stops in ratio order as the movie gives them (out of order or
  // repeated ratios are tolerated).
  std::vector<GradientStop> stops;
  Spread spread = Spread::Pad;
  Interpolation interpolation = Interpolation::Rgb;
  float focal = 0;  // -1..1: the focal point at focal * 16384 on x
  // Bitmaps: not owned; must outlive the fill.
  const Image* bitmap = nullptr;
  bool repeat = true;
  bool smooth = true;
  // Gradients: the square -16384..16384 to pixels (linear runs along x,
  // radial has radius 16384). Bitmaps: bitmap pixels to target pixels.
  Matrix matrix;
};

}  // namespace player
