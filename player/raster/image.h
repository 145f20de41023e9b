// Colours, colour transforms and the premultiplied RGBA images drawn into.
#pragma once

#include <cstdint>
#include <vector>

namespace player {

// Straight (unpremultiplied) colour, as movies store it.
struct Rgba {
  uint8_t r, g, b, a;
};

// Applied to straight colour: c' = clamp(c * mul + add), add in 0..255 units;
// index 0..3 is r, g, b, a.
struct ColorTransform {
  float mul[4] = {1, 1, 1, 1};
  float add[4] = {0, 0, 0, 0};
};

// outer after inner.
ColorTransform operator*(const ColorTransform& outer, const ColorTransform& inner);
Rgba Apply(const ColorTransform& cx, Rgba c);
bool IsIdentity(const ColorTransform& cx);

// Premultiplied RGBA8, rows top down, 4 * width bytes a row.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

Image MakeImage(int width, int height, Rgba fill);

}  // namespace player
