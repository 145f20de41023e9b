#include "raster/filter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "raster/pixel.h"

namespace player {
namespace {

constexpr int kMaxPasses = 15;
constexpr double kMaxBlur = 255;      // pixels, as far as the format can ask
constexpr double kMaxDistance = 4096;  // pixels; further only moves the shadow off the layer

struct Plane {
  int w = 0, h = 0;
  std::vector<float> v;  // 0..1
  float At(int x, int y) const {
    return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : v[size_t(y) * size_t(w) + size_t(x)];
  }
};

double Clean(double v, double lo, double hi) { return std::isfinite(v) ? std::clamp(v, lo, hi) : lo; }

// One box pass along a line of n values step apart: a box `size` wide, the
// fraction beyond its whole pixels weighing on the two next neighbours.
void BoxLine(float* p, size_t n, size_t step, double size, std::vector<double>& sums, std::vector<float>& line) {
  const double half = size / 2;
  const int k = static_cast<int>(half);
  const double f = half - k, norm = 1 / (2 * k + 1 + 2 * f);
  sums.assign(n + 1, 0);
  line.resize(n);
  for (size_t i = 0; i < n; ++i) {
    line[i] = p[i * step];
    sums[i + 1] = sums[i] + static_cast<double>(line[i]);
  }
  const long long len = static_cast<long long>(n);
  auto at = [&](long long i) -> double { return i < 0 || i >= len ? 0.0 : static_cast<double>(line[size_t(i)]); };
  auto sum = [&](long long i) -> double { return sums[size_t(std::clamp<long long>(i, 0, len))]; };
  for (long long i = 0; i < len; ++i) {
    const double s = sum(i + k + 1) - sum(i - k) + f * (at(i - k - 1) + at(i + k + 1));
    p[size_t(i) * step] = static_cast<float>(s * norm);
  }
}

void BlurPlane(float* v, int w, int h, double bx, double by, int passes) {
  std::vector<double> sums;
  std::vector<float> line;
  for (int pass = 0; pass < passes; ++pass) {
    if (bx > 1)
      for (int y = 0; y < h; ++y) BoxLine(v + size_t(y) * size_t(w), size_t(w), 1, bx, sums, line);
    if (by > 1)
      for (int x = 0; x < w; ++x) BoxLine(v + x, size_t(h), size_t(w), by, sums, line);
  }
}

int Passes(const Filter& f) { return std::clamp(f.passes, 1, kMaxPasses); }

Plane AlphaOf(const Image& im, bool inverted) {
  Plane p{im.width, im.height, std::vector<float>(size_t(im.width) * size_t(im.height))};
  for (size_t i = 0; i < p.v.size(); ++i) {
    const float a = im.rgba[i * 4 + 3] / 255.0f;
    p.v[i] = inverted ? 1 - a : a;
  }
  return p;
}

void Blur(Plane& p, const Filter& f) {
  BlurPlane(p.v.data(), p.w, p.h, Clean(f.blurX, 0, kMaxBlur), Clean(f.blurY, 0, kMaxBlur), Passes(f));
}

// p moved by (dx, dy), bilinear.
Plane Shifted(const Plane& p, double dx, double dy) {
  if (dx == 0 && dy == 0) return p;
  Plane out{p.w, p.h, std::vector<float>(p.v.size())};
  const double fx = std::floor(dx), fy = std::floor(dy);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const float wx = static_cast<float>(dx - fx), wy = static_cast<float>(dy - fy);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const int sx = x - ix, sy = y - iy;
      const float top = p.At(sx, sy) * (1 - wx) + p.At(sx - 1, sy) * wx;
      const float bottom = p.At(sx, sy - 1) * (1 - wx) + p.At(sx - 1, sy - 1) * wx;
      out.v[size_t(y) * size_t(p.w) + size_t(x)] = top * (1 - wy) + bottom * wy;
    }
  return out;
}

// A colour laid with the given coverage per pixel, premultiplied.
void Colourise(Rgba c, const Plane& cover, float strength, std::vector<float>& out) {
  out.assign(cover.v.size() * 4, 0);
  const float a = c.a / 255.0f;
  const float rgb[3] = {c.r / 255.0f, c.g / 255.0f, c.b / 255.0f};
  for (size_t i = 0; i < cover.v.size(); ++i) {
    const float k = std::min(1.0f, cover.v[i] * strength) * a;
    for (int ch = 0; ch < 3; ++ch) out[i * 4 + size_t(ch)] = rgb[ch] * k;
    out[i * 4 + 3] = k;
  }
}

uint8_t Byte(float v) { return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); }

enum class Lay { Under, Atop, Over, Alone };

// Puts the effect (premultiplied floats) with the object: under it, atop it
// (within its alpha), over it or alone.
void Combine(Image& im, const std::vector<float>& fx, Lay lay) {
  for (size_t i = 0; i < fx.size() / 4; ++i) {
    uint8_t* px = &im.rgba[i * 4];
    float s[4], e[4];
    for (int c = 0; c < 4; ++c) {
      s[c] = px[c] / 255.0f;
      e[c] = fx[i * 4 + size_t(c)];
    }
    float out[4];
    for (int c = 0; c < 4; ++c) {
      switch (lay) {
        case Lay::Under: out[c] = s[c] + e[c] * (1 - s[3]); break;
        case Lay::Over: out[c] = e[c] + s[c] * (1 - e[3]); break;
        case Lay::Atop: out[c] = c == 3 ? s[3] : e[c] * s[3] + s[c] * (1 - e[3]); break;
        case Lay::Alone: out[c] = e[c]; break;
      }
    }
    px[3] = Byte(out[3]);
    for (int c = 0; c < 3; ++c) px[c] = std::min(Byte(out[c]), px[3]);
  }
}

void Mask(std::vector<float>& fx, const Image& im, bool inside) {
  for (size_t i = 0; i < fx.size() / 4; ++i) {
    const float a = im.rgba[i * 4 + 3] / 255.0f;
    const float k = inside ? a : 1 - a;
    for (int c = 0; c < 4; ++c) fx[i * 4 + size_t(c)] *= k;
  }
}

void Shadow(Image& im, const Filter& f, double distance) {
  const double angle = Clean(f.angle, -1e6, 1e6);
  const double dx = std::cos(angle) * distance, dy = std::sin(angle) * distance;
  Plane a = AlphaOf(im, f.inner);
  Blur(a, f);
  a = Shifted(a, dx, dy);
  std::vector<float> fx;
  Colourise(f.color, a, static_cast<float>(Clean(f.strength, 0, 255)), fx);
  // An inner shadow lies within the object, a knocked-out outer one outside it.
  if (f.inner || f.knockout) Mask(fx, im, f.inner);
  if (f.knockout || f.hideObject) {
    Combine(im, fx, Lay::Alone);
  } else {
    Combine(im, fx, f.inner ? Lay::Atop : Lay::Under);
  }
}

void Bevel(Image& im, const Filter& f) {
  const double angle = Clean(f.angle, -1e6, 1e6);
  const double distance = Clean(f.distance, -kMaxDistance, kMaxDistance);
  const double dx = std::cos(angle) * distance / 2, dy = std::sin(angle) * distance / 2;
  Plane a = AlphaOf(im, false);
  Blur(a, f);
  const Plane lit = Shifted(a, -dx, -dy), dark = Shifted(a, dx, dy);
  // The side facing the light is where the object lies ahead of the light
  // and not behind it.
  Plane high{a.w, a.h, std::vector<float>(a.v.size())}, low = high;
  for (size_t i = 0; i < a.v.size(); ++i) {
    high.v[i] = std::max(0.0f, lit.v[i] - dark.v[i]);
    low.v[i] = std::max(0.0f, dark.v[i] - lit.v[i]);
  }
  const float strength = static_cast<float>(Clean(f.strength, 0, 255));
  std::vector<float> fxHigh, fxLow;
  Colourise(f.highlight, high, strength, fxHigh);
  Colourise(f.color, low, strength, fxLow);
  for (size_t i = 0; i < fxHigh.size() / 4; ++i)
    for (int c = 0; c < 4; ++c) {
      const size_t j = i * 4 + size_t(c);
      fxHigh[j] = fxHigh[j] + fxLow[j] * (1 - fxHigh[i * 4 + 3]);
    }
  if (f.place != Filter::Place::Full) Mask(fxHigh, im, f.place == Filter::Place::Inner);
  if (f.knockout) {
    Combine(im, fxHigh, Lay::Alone);
  } else {
    Combine(im, fxHigh, f.place == Filter::Place::Inner ? Lay::Atop
                        : f.place == Filter::Place::Outer ? Lay::Under : Lay::Over);
  }
}

void ColourMatrix(Image& im, const float* m) {
  for (size_t i = 0; i < im.rgba.size() / 4; ++i) {
    uint8_t* px = &im.rgba[i * 4];
    const Rgba c = pixel::Unpremultiply(px);
    const float in[4] = {static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b),
                          static_cast<float>(c.a)};
    uint8_t out[4];
    for (int row = 0; row < 4; ++row) {
      const float* r = m + row * 5;
      const float v = r[0] * in[0] + r[1] * in[1] + r[2] * in[2] + r[3] * in[3] + r[4];
      out[row] = static_cast<uint8_t>(std::isfinite(v) ? std::clamp(v, 0.0f, 255.0f) + 0.5f : 0.0f);
    }
    pixel::Premultiply({out[0], out[1], out[2], out[3]}, px);
  }
}

void BlurImage(Image& im, const Filter& f) {
  const size_t n = size_t(im.width) * size_t(im.height);
  std::vector<float> plane(n);
  for (int c = 0; c < 4; ++c) {
    for (size_t i = 0; i < n; ++i) plane[i] = im.rgba[i * 4 + size_t(c)] / 255.0f;
    BlurPlane(plane.data(), im.width, im.height, Clean(f.blurX, 0, kMaxBlur), Clean(f.blurY, 0, kMaxBlur),
              Passes(f));
    for (size_t i = 0; i < n; ++i) im.rgba[i * 4 + size_t(c)] = Byte(plane[i]);
  }
  for (size_t i = 0; i < n; ++i)  // rounding must not leave colour above alpha
    for (int c = 0; c < 3; ++c) im.rgba[i * 4 + size_t(c)] = std::min(im.rgba[i * 4 + size_t(c)], im.rgba[i * 4 + 3]);
}

}  // namespace

int FilterMargin(const Filter& f) {
  if (f.kind == Filter::Kind::ColorMatrix) return 0;
  const double blur = std::max(Clean(f.blurX, 0, kMaxBlur), Clean(f.blurY, 0, kMaxBlur));
  double reach = Passes(f) * (std::ceil(blur / 2) + 1);
  if (f.kind != Filter::Kind::Blur && f.kind != Filter::Kind::Glow)
    reach += std::ceil(std::fabs(Clean(f.distance, -kMaxDistance, kMaxDistance)));
  return static_cast<int>(reach);
}

void ApplyFilter(Image& image, const Filter& f) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
    return;
  switch (f.kind) {
    case Filter::Kind::Blur: BlurImage(image, f); return;
    case Filter::Kind::DropShadow: Shadow(image, f, Clean(f.distance, -kMaxDistance, kMaxDistance)); return;
    case Filter::Kind::Glow: Shadow(image, f, 0); return;
    case Filter::Kind::Bevel: Bevel(image, f); return;
    case Filter::Kind::ColorMatrix: ColourMatrix(image, f.matrix); return;
  }
}

}  // namespace player
