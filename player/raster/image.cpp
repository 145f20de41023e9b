#include "raster/image.h"

#include <algorithm>
#include <cstddef>

namespace player {

ColorTransform operator*(const ColorTransform& o, const ColorTransform& i) {
  ColorTransform r;
  for (int k = 0; k < 4; ++k) {
    r.mul[k] = o.mul[k] * i.mul[k];
    r.add[k] = o.mul[k] * i.add[k] + o.add[k];
  }
  return r;
}

static uint8_t Clamp255(float v) {
  if (!(v > 0)) return 0;  // NaN too
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v + 0.5f);
}

Rgba Apply(const ColorTransform& cx, Rgba c) {
  return {Clamp255(c.r * cx.mul[0] + cx.add[0]), Clamp255(c.g * cx.mul[1] + cx.add[1]),
          Clamp255(c.b * cx.mul[2] + cx.add[2]), Clamp255(c.a * cx.mul[3] + cx.add[3])};
}

bool IsIdentity(const ColorTransform& cx) {
  for (int k = 0; k < 4; ++k)
    if (cx.mul[k] != 1 || cx.add[k] != 0) return false;
  return true;
}

Image MakeImage(int width, int height, Rgba fill) {
  Image im;
  if (width <= 0 || height <= 0) return im;
  im.width = width;
  im.height = height;
  const uint8_t px[4] = {static_cast<uint8_t>((fill.r * fill.a + 127) / 255),
                         static_cast<uint8_t>((fill.g * fill.a + 127) / 255),
                         static_cast<uint8_t>((fill.b * fill.a + 127) / 255), fill.a};
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  im.rgba.resize(n * 4);
  for (size_t i = 0; i < n; ++i) std::copy(px, px + 4, im.rgba.begin() + static_cast<std::ptrdiff_t>(i * 4));
  return im;
}

}  // namespace player

#include "raster/pixel.h"

namespace player {
namespace pixel {

void Transform(const ColorTransform& cx, uint8_t* px) {
  const bool alphaOnly = cx.add[0] == 0 && cx.add[1] == 0 && cx.add[2] == 0 && cx.add[3] == 0 &&
                         cx.mul[0] == 1 && cx.mul[1] == 1 && cx.mul[2] == 1 && cx.mul[3] >= 0 &&
                         cx.mul[3] <= 1;
  if (alphaOnly) {
    const uint32_t k = static_cast<uint32_t>(cx.mul[3] * 255 + 0.5f);
    for (int i = 0; i < 4; ++i) px[i] = static_cast<uint8_t>(Div255(px[i] * k));
    return;
  }
  Premultiply(Apply(cx, Unpremultiply(px)), px);
}

}  // namespace pixel
}  // namespace player
