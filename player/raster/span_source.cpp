#include "raster/span_source.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <vector>

#include "raster/pixel.h"

namespace player {
namespace {

double ToLinear(double v) {
  v /= 255;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

uint8_t FromLinear(double v) {
  v = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::clamp(v * 255 + 0.5, 0.0, 255.0));
}

// 256 premultiplied colours, ratio 0 to 255. Stops out of order are taken in
// ratio order (the first given wins a tie).
void BuildLut(const Paint& paint, const ColorTransform& cx, uint8_t (*lut)[4]) {
  std::vector<GradientStop> stops = paint.stops;
  std::stable_sort(stops.begin(), stops.end(),
                   [](const GradientStop& l, const GradientStop& r) { return l.ratio < r.ratio; });
  if (stops.empty()) stops.push_back({0, {0, 0, 0, 0}});
  for (GradientStop& s : stops) s.color = Apply(cx, s.color);
  const bool linear = paint.interpolation == Interpolation::LinearRgb;
  size_t next = 0;
  for (int i = 0; i < 256; ++i) {
    while (next < stops.size() && stops[next].ratio < i) ++next;
    Rgba c;
    if (next == 0) {
      c = stops.front().color;
    } else if (next == stops.size()) {
      c = stops.back().color;
    } else {
      const GradientStop& l = stops[next - 1];
      const GradientStop& r = stops[next];
      const double f = r.ratio == l.ratio ? 1.0 : double(i - l.ratio) / double(r.ratio - l.ratio);
      auto mix = [&](uint8_t a, uint8_t b) {
        if (linear) return FromLinear(ToLinear(a) + (ToLinear(b) - ToLinear(a)) * f);
        return static_cast<uint8_t>(a + (b - a) * f + 0.5);
      };
      c = {mix(l.color.r, r.color.r), mix(l.color.g, r.color.g), mix(l.color.b, r.color.b),
           static_cast<uint8_t>(l.color.a + (r.color.a - l.color.a) * f + 0.5)};
    }
    pixel::Premultiply(c, lut[i]);
  }
}

double SpreadT(double t, Spread s) {
  switch (s) {
    case Spread::Pad:
      return t;
    case Spread::Repeat:
      return t - std::floor(t);
    case Spread::Reflect: {
      const double u = t - 2 * std::floor(t / 2);
      return u > 1 ? 2 - u : u;
    }
  }
  return t;
}

int LutIndex(double t) {
  if (!(t > 0)) return 0;  // NaN too
  if (t >= 1) return 255;
  return static_cast<int>(t * 255 + 0.5);
}

}  // namespace

SpanSource::SpanSource(const Paint& paint, const ColorTransform& cx)
    : kind_(paint.kind), spread_(paint.spread), cx_(cx), cxIdentity_(IsIdentity(cx)) {
  switch (kind_) {
    case Paint::Kind::Solid:
      pixel::Premultiply(Apply(cx, paint.color), solid_);
      visible_ = solid_[3] != 0;
      opaque_ = solid_[3] == 255;
      return;
    case Paint::Kind::Linear:
    case Paint::Kind::Radial:
    case Paint::Kind::Focal: {
      BuildLut(paint, cx, lut_);
      opaque_ = std::all_of(std::begin(lut_), std::end(lut_), [](const uint8_t* c) { return c[3] == 255; });
      focal_ = std::clamp(static_cast<double>(paint.focal), -0.98, 0.98);
      if (kind_ == Paint::Kind::Focal && focal_ == 0) kind_ = Paint::Kind::Radial;
      Matrix inv;
      if (!Invert(paint.matrix, &inv)) {
        degenerate_ = true;
        return;
      }
      const Matrix toUnit{1 / 16384.0, 0, 0, 1 / 16384.0, 0, 0};
      inverse_ = toUnit * inv;
      return;
    }
    case Paint::Kind::Bitmap: {
      bitmap_ = paint.bitmap;
      repeat_ = paint.repeat;
      smooth_ = paint.smooth;
      const bool usable = bitmap_ && bitmap_->width > 0 && bitmap_->height > 0 &&
                          bitmap_->rgba.size() == size_t(bitmap_->width) * size_t(bitmap_->height) * 4;
      visible_ = usable && Invert(paint.matrix, &inverse_);
      return;
    }
  }
}

void SpanSource::Fill(int x, int y, int n, uint8_t* out) const {
  switch (kind_) {
    case Paint::Kind::Solid:
      for (int i = 0; i < n; ++i) std::copy(solid_, solid_ + 4, out + 4 * i);
      return;
    case Paint::Kind::Bitmap:
      FillBitmap(x, y, n, out);
      return;
    default:
      FillGradient(x, y, n, out);
      return;
  }
}

void SpanSource::FillGradient(int x, int y, int n, uint8_t* out) const {
  if (degenerate_) {
    for (int i = 0; i < n; ++i) std::copy(lut_[255], lut_[255] + 4, out + 4 * i);
    return;
  }
  const Point p0 = Apply(inverse_, {x + 0.5, y + 0.5});
  double gx = p0.x, gy = p0.y;
  const double dx = inverse_.a, dy = inverse_.b;
  for (int i = 0; i < n; ++i, gx += dx, gy += dy) {
    double t;
    if (kind_ == Paint::Kind::Linear) {
      t = (gx + 1) / 2;
    } else if (kind_ == Paint::Kind::Radial) {
      t = std::sqrt(gx * gx + gy * gy);
    } else {
      // The ray from the focal point F through P meets the unit circle at
      // F + s(P - F); P's place along that ray is 1 / s.
      const double ex = gx - focal_, ey = gy;
      const double ee = ex * ex + ey * ey;
      if (ee < 1e-18) {
        t = 0;
      } else {
        const double fe = focal_ * ex;
        const double s = (-fe + std::sqrt(fe * fe - ee * (focal_ * focal_ - 1))) / ee;
        t = 1 / s;
      }
    }
    const uint8_t* c = lut_[LutIndex(SpreadT(t, spread_))];
    std::copy(c, c + 4, out + 4 * i);
  }
}

void SpanSource::FillBitmap(int x, int y, int n, uint8_t* out) const {
  const Image& bm = *bitmap_;
  const int w = bm.width, h = bm.height;
  const uint8_t* texels = bm.rgba.data();
  const size_t stride = size_t(w) * 4;
  auto wrap = [this](int64_t i, int size) -> int {
    if (i >= 0 && i < size) return static_cast<int>(i);
    if (repeat_) return static_cast<int>(((i % size) + size) % size);
    return i < 0 ? 0 : size - 1;
  };
  // Texel coordinates in 16.16 fixed point, stepped along the row; far ones
  // (a damaged or nearly flat matrix) are pinned where they cannot overflow.
  const double half = smooth_ ? 0.5 : 0;
  const Point p0 = Apply(inverse_, {x + 0.5, y + 0.5});
  auto fixed = [](double v) {
    const double f = v * 65536;
    return static_cast<int64_t>(std::isfinite(f) ? std::clamp(f, -1099511627776.0, 1099511627776.0) : 0.0);
  };
  int64_t u = fixed(p0.x - half), v = fixed(p0.y - half);
  const int64_t du = fixed(inverse_.a), dv = fixed(inverse_.b);
  for (int i = 0; i < n; ++i, u += du, v += dv) {
    uint8_t* o = out + 4 * i;
    const int64_t iu = u >> 16, iv = v >> 16;
    if (!smooth_) {
      const uint8_t* t = texels + size_t(wrap(iv, h)) * stride + size_t(wrap(iu, w)) * 4;
      std::copy(t, t + 4, o);
    } else {
      const uint32_t fu = static_cast<uint32_t>(u >> 8) & 255, fv = static_cast<uint32_t>(v >> 8) & 255;
      const size_t x0 = size_t(wrap(iu, w)) * 4, x1 = size_t(wrap(iu + 1, w)) * 4;
      const uint8_t* r0 = texels + size_t(wrap(iv, h)) * stride;
      const uint8_t* r1 = texels + size_t(wrap(iv + 1, h)) * stride;
      for (int k = 0; k < 4; ++k) {
        const uint32_t top = r0[x0 + size_t(k)] * (256 - fu) + r0[x1 + size_t(k)] * fu;
        const uint32_t bottom = r1[x0 + size_t(k)] * (256 - fu) + r1[x1 + size_t(k)] * fu;
        o[k] = static_cast<uint8_t>((top * (256 - fv) + bottom * fv + 32768) >> 16);
      }
    }
    if (!cxIdentity_) pixel::Transform(cx_, o);
  }
}

}  // namespace player
