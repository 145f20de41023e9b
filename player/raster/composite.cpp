#include "raster/composite.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "raster/pixel.h"

namespace player {
namespace {

// Separable modes on straight colours cs (layer) and cb (below), 0..1.
template <BlendMode M>
float Mix(float cs, float cb) {
  switch (M) {
    case BlendMode::Multiply: return cs * cb;
    case BlendMode::Screen: return cs + cb - cs * cb;
    case BlendMode::Lighten: return std::max(cs, cb);
    case BlendMode::Darken: return std::min(cs, cb);
    case BlendMode::Difference: return std::fabs(cs - cb);
    case BlendMode::Add: return std::min(1.0f, cs + cb);
    case BlendMode::Subtract: return std::max(0.0f, cb - cs);
    case BlendMode::Overlay:
      return cb <= 0.5f ? 2 * cs * cb : 1 - 2 * (1 - cs) * (1 - cb);
    case BlendMode::Hardlight:
      return cs <= 0.5f ? 2 * cs * cb : 1 - 2 * (1 - cs) * (1 - cb);
    default: return cs;
  }
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); }

template <BlendMode M>
void Blend(uint8_t* d, const uint8_t* s, const uint8_t* clip, size_t n) {
  for (size_t i = 0; i < n; ++i, d += 4, s += 4) {
    uint8_t src[4] = {s[0], s[1], s[2], s[3]};
    if (clip) {
      const uint32_t k = clip[i * 4 + 3];
      for (uint8_t& c : src) c = static_cast<uint8_t>(pixel::Div255(c * k));
    }
    if (M == BlendMode::Normal || M == BlendMode::Layer) {
      if (src[3]) pixel::BlendOver(d, src, 255);
      continue;
    }
    if (src[3] == 0) continue;
    const float sa = src[3] / 255.0f, da = d[3] / 255.0f;
    float out[4];
    if (M == BlendMode::Alpha || M == BlendMode::Erase) {
      const float k = M == BlendMode::Alpha ? sa : 1 - sa;
      for (int c = 0; c < 4; ++c) out[c] = d[c] / 255.0f * k;
    } else if (M == BlendMode::Invert) {
      for (int c = 0; c < 3; ++c) out[c] = (da - d[c] / 255.0f) * sa + d[c] / 255.0f * (1 - sa);
      out[3] = da;
    } else {
      for (int c = 0; c < 3; ++c) {
        const float ps = src[c] / 255.0f, pb = d[c] / 255.0f;
        const float cs = ps / sa, cb = da > 0 ? pb / da : 0;
        out[c] = ps * (1 - da) + pb * (1 - sa) + sa * da * Mix<M>(cs, cb);
      }
      out[3] = sa + da - sa * da;
    }
    d[3] = ToByte(out[3]);
    for (int c = 0; c < 3; ++c) d[c] = std::min(ToByte(out[c]), d[3]);
  }
}

}  // namespace

void Composite(Image& target, const Image& layer, BlendMode mode, const Image* clip) {
  const size_t bytes = size_t(std::max(target.width, 0)) * size_t(std::max(target.height, 0)) * 4;
  if (target.rgba.size() != bytes || layer.width != target.width || layer.height != target.height ||
      layer.rgba.size() != bytes)
    return;
  if (clip && (clip->width != target.width || clip->height != target.height || clip->rgba.size() != bytes))
    return;
  uint8_t* d = target.rgba.data();
  const uint8_t* s = layer.rgba.data();
  const uint8_t* c = clip ? clip->rgba.data() : nullptr;
  const size_t n = bytes / 4;
  switch (mode) {
    case BlendMode::Normal: Blend<BlendMode::Normal>(d, s, c, n); break;
    case BlendMode::Layer: Blend<BlendMode::Layer>(d, s, c, n); break;
    case BlendMode::Multiply: Blend<BlendMode::Multiply>(d, s, c, n); break;
    case BlendMode::Screen: Blend<BlendMode::Screen>(d, s, c, n); break;
    case BlendMode::Lighten: Blend<BlendMode::Lighten>(d, s, c, n); break;
    case BlendMode::Darken: Blend<BlendMode::Darken>(d, s, c, n); break;
    case BlendMode::Difference: Blend<BlendMode::Difference>(d, s, c, n); break;
    case BlendMode::Add: Blend<BlendMode::Add>(d, s, c, n); break;
    case BlendMode::Subtract: Blend<BlendMode::Subtract>(d, s, c, n); break;
    case BlendMode::Invert: Blend<BlendMode::Invert>(d, s, c, n); break;
    case BlendMode::Alpha: Blend<BlendMode::Alpha>(d, s, c, n); break;
    case BlendMode::Erase: Blend<BlendMode::Erase>(d, s, c, n); break;
    case BlendMode::Overlay: Blend<BlendMode::Overlay>(d, s, c, n); break;
    case BlendMode::Hardlight: Blend<BlendMode::Hardlight>(d, s, c, n); break;
  }
}

}  // namespace player
