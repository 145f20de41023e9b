// Pixel arithmetic shared by the room's sources (premultiplied RGBA8).
#pragma once

#include <cstdint>

#include "raster/image.h"

namespace player {
namespace pixel {

// x / 255 rounded, for x in 0..65535.
inline uint32_t Div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

inline uint8_t U8(uint32_t v) { return static_cast<uint8_t>(v > 255 ? 255 : v); }

inline void Premultiply(Rgba c, uint8_t* out) {
  out[0] = static_cast<uint8_t>(Div255(uint32_t{c.r} * c.a));
  out[1] = static_cast<uint8_t>(Div255(uint32_t{c.g} * c.a));
  out[2] = static_cast<uint8_t>(Div255(uint32_t{c.b} * c.a));
  out[3] = c.a;
}

inline Rgba Unpremultiply(const uint8_t* p) {
  const uint32_t a = p[3];
  if (a == 0) return {0, 0, 0, 0};
  if (a == 255) return {p[0], p[1], p[2], 255};
  return {U8((p[0] * 255u + a / 2) / a), U8((p[1] * 255u + a / 2) / a),
          U8((p[2] * 255u + a / 2) / a), static_cast<uint8_t>(a)};
}

// dst = src * k + dst * (1 - src.a * k), k in 0..255.
inline void BlendOver(uint8_t* dst, const uint8_t* src, uint32_t k) {
  uint32_t s[4];
  if (k == 255) {
    for (int i = 0; i < 4; ++i) s[i] = src[i];
  } else {
    for (int i = 0; i < 4; ++i) s[i] = Div255(src[i] * k);
  }
  const uint32_t inv = 255 - s[3];
  for (int i = 0; i < 4; ++i) dst[i] = U8(s[i] + Div255(dst[i] * inv));
}

// A colour transform on one premultiplied pixel.
void Transform(const ColorTransform& cx, uint8_t* px);

}  // namespace pixel
}  // namespace player
