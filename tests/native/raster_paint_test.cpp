// Paints, strokes, blending, filters and the PNG writer, each against values
// worked out by hand or by a reader we did not write (Python's zlib).
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raster/raster.h"

namespace player {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<Edge> Rect(double x0, double y0, double x1, double y1) {
  return {{{x0, y0}, {}, {x1, y0}, false},
          {{x1, y0}, {}, {x1, y1}, false},
          {{x1, y1}, {}, {x0, y1}, false},
          {{x0, y1}, {}, {x0, y0}, false}};
}

const uint8_t* Px(const Image& im, int x, int y) { return &im.rgba[(size_t(y) * size_t(im.width) + size_t(x)) * 4]; }

double Area(const Image& im) {
  double sum = 0;
  for (size_t i = 3; i < im.rgba.size(); i += 4) sum += im.rgba[i] / 255.0;
  return sum;
}

// A 256-pixel-wide gradient square centred on (128, 128): x = 128 + 128 * g.
Paint Gradient(Paint::Kind kind, Spread spread, Interpolation in = Interpolation::Rgb) {
  Paint p;
  p.kind = kind;
  p.spread = spread;
  p.interpolation = in;
  p.stops = {{255, {255, 255, 255, 255}}, {0, {0, 0, 0, 255}}};  // out of order on purpose
  p.matrix = {128 / 16384.0, 0, 0, 128 / 16384.0, 128, 128};
  return p;
}

TEST(RasterPaint, GradientsPlaceEachRatio) {
  struct Case {
    const char* name;
    Paint paint;
    double x, y;  // where, in gradient units (-1..1 the square)
    int grey;
  };
  Paint focal = Gradient(Paint::Kind::Focal, Spread::Pad);
  focal.focal = 0.5f;
  Paint shifted = Gradient(Paint::Kind::Linear, Spread::Pad);
  shifted.matrix = Matrix{1, 0, 0, 1, 0, 0} * shifted.matrix;
  const Case cases[] = {
      {"linear start", Gradient(Paint::Kind::Linear, Spread::Pad), -1, 0, 0},
      {"linear middle", Gradient(Paint::Kind::Linear, Spread::Pad), 0, 0.7, 128},
      {"linear pad past the end", Gradient(Paint::Kind::Linear, Spread::Pad), 1.6, 0, 255},
      {"linear repeat", Gradient(Paint::Kind::Linear, Spread::Repeat), 1.5, 0, 64},
      {"linear reflect", Gradient(Paint::Kind::Linear, Spread::Reflect), 1.5, 0, 191},
      {"linear, linear RGB middle", Gradient(Paint::Kind::Linear, Spread::Pad, Interpolation::LinearRgb), 0, 0, 188},
      {"radial centre", Gradient(Paint::Kind::Radial, Spread::Pad), 0, 0, 0},
      {"radial half way", Gradient(Paint::Kind::Radial, Spread::Pad), 0.3, -0.4, 128},
      {"radial reflect", Gradient(Paint::Kind::Radial, Spread::Reflect), 0, 1.25, 191},
      {"focal point", focal, 0.5, 0, 0},
      {"focal, half way to the far side", focal, -0.25, 0, 128},
      {"focal, half way to the near side", focal, 0.75, 0, 128},
      {"focal, on the circle", focal, 0, 0.99, 252},
  };
  for (const Case& c : cases) {
    Image im = MakeImage(640, 640, {0, 0, 0, 0});
    const int px = static_cast<int>(std::floor(256 + 128 * c.x)), py = static_cast<int>(std::floor(256 + 128 * c.y));
    Paint p = c.paint;
    p.matrix = Matrix{1, 0, 0, 1, 128.5, 128.5} * p.matrix;  // pixel centres on the points
    FillEdges(im, Rect(px, py, px + 1, py + 1), FillRule::NonZero, p, {});
    EXPECT_NEAR(Px(im, px, py)[0], c.grey, 3) << c.name;
    EXPECT_EQ(Px(im, px, py)[3], 255) << c.name;
  }
}

TEST(RasterPaint, BitmapFillsSampleRepeatAndClamp) {
  Image bm = MakeImage(2, 1, {0, 0, 0, 255});
  bm.rgba[4] = 255;  // a black and a red texel
  Paint p;
  p.kind = Paint::Kind::Bitmap;
  p.bitmap = &bm;
  p.smooth = false;
  p.matrix = {10, 0, 0, 10, 0, 0};
  for (bool repeat : {true, false}) {
    p.repeat = repeat;
    Image im = MakeImage(60, 10, {0, 0, 0, 0});
    FillEdges(im, Rect(0, 0, 60, 10), FillRule::NonZero, p, {});
    const int expect[] = {0, 255, repeat ? 0 : 255, 255, repeat ? 0 : 255, 255};
    for (int cell = 0; cell < 6; ++cell) EXPECT_EQ(Px(im, cell * 10 + 5, 5)[0], expect[cell]) << repeat << cell;
  }
  // Smoothing blends across the texel border, half way at the middle.
  p.smooth = true;
  p.repeat = false;
  Image im = MakeImage(20, 10, {0, 0, 0, 0});
  FillEdges(im, Rect(0, 0, 20, 10), FillRule::NonZero, p, {});
  EXPECT_NEAR(Px(im, 9, 5)[0] + Px(im, 10, 5)[0], 255, 2);
  EXPECT_EQ(Px(im, 2, 5)[0], 0);
  EXPECT_EQ(Px(im, 17, 5)[0], 255);
}

TEST(RasterPaint, ColourTransformsComposeLikeApplyingBoth) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> mul(-1.5f, 2.5f), add(-300, 300);
  for (int i = 0; i < 200; ++i) {
    ColorTransform a, b;
    for (int k = 0; k < 4; ++k) {
      a.mul[k] = mul(rng), a.add[k] = i % 2 ? add(rng) : 0.0f;
      b.mul[k] = mul(rng), b.add[k] = add(rng);
    }
    const Rgba c{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    const Rgba once = Apply(a * b, c), twice = Apply(a, Apply(b, c));
    // Clamping between the two steps is the only difference allowed.
    const Rgba inner = Apply(b, c);
    const uint8_t ch[4] = {inner.r, inner.g, inner.b, inner.a};
    const int gotOnce[4] = {once.r, once.g, once.b, once.a}, gotTwice[4] = {twice.r, twice.g, twice.b, twice.a};
    for (int k = 0; k < 4; ++k)
      if (ch[k] != 0 && ch[k] != 255) {
        EXPECT_NEAR(gotOnce[k], gotTwice[k], 2) << i << " " << k;
      }
  }
}

TEST(RasterStroke, AreasOfCapsAndJoins) {
  struct Case {
    const char* name;
    std::vector<std::vector<Edge>> paths;
    Stroke stroke;
    double area;
  };
  const double L = 40, w = 8;
  const std::vector<std::vector<Edge>> line = {{{{12, 32}, {}, {12 + L / 2, 32}, false}, {{12 + L / 2, 32}, {}, {12 + L, 32}, false}}};
  const std::vector<std::vector<Edge>> square = {Rect(12, 12, 52, 52)};
  const double ring = (L + w) * (L + w) - (L - w) * (L - w);
  auto stroke = [&](Cap cap, Join join, double width) {
    Stroke s;
    s.width = width;
    s.startCap = s.endCap = cap;
    s.join = join;
    return s;
  };
  const Case cases[] = {
      {"no caps", line, stroke(Cap::None, Join::Round, w), L * w},
      {"square caps", line, stroke(Cap::Square, Join::Round, w), (L + w) * w},
      {"round caps", line, stroke(Cap::Round, Join::Round, w), L * w + kPi * w * w / 4},
      {"hairline", line, stroke(Cap::None, Join::Round, 0.1), L},
      {"closed, miter", square, stroke(Cap::Round, Join::Miter, w), ring},
      {"closed, bevel", square, stroke(Cap::Round, Join::Bevel, w), ring - w * w / 2},
      {"closed, round", square, stroke(Cap::Round, Join::Round, w), ring - w * w * (1 - kPi / 4)},
      {"closed, miter over its limit", square, [&] { Stroke s = stroke(Cap::None, Join::Miter, w); s.miterLimit = 1.2; return s; }(), ring - w * w / 2},
  };
  for (const Case& c : cases) {
    Image im = MakeImage(64, 64, {0, 0, 0, 0});
    Paint p;
    p.color = {0, 0, 0, 255};
    FillEdges(im, StrokeEdges(c.paths, c.stroke), FillRule::NonZero, p, {});
    EXPECT_NEAR(Area(im), c.area, c.area * 0.01) << c.name;
  }
}

TEST(RasterComposite, BlendModesOnOnePixel) {
  struct Case {
    BlendMode mode;
    Rgba layer, below, expect;  // straight colours
  };
  const Case cases[] = {
      {BlendMode::Normal, {255, 0, 0, 128}, {0, 0, 255, 255}, {128, 0, 127, 255}},
      {BlendMode::Multiply, {128, 255, 0, 255}, {200, 100, 50, 255}, {100, 100, 0, 255}},
      {BlendMode::Screen, {0, 0, 0, 255}, {200, 100, 50, 255}, {200, 100, 50, 255}},
      {BlendMode::Screen, {255, 128, 0, 255}, {0, 128, 50, 255}, {255, 192, 50, 255}},
      {BlendMode::Lighten, {100, 200, 0, 255}, {150, 50, 30, 255}, {150, 200, 30, 255}},
      {BlendMode::Darken, {100, 200, 0, 255}, {150, 50, 30, 255}, {100, 50, 0, 255}},
      {BlendMode::Difference, {100, 200, 0, 255}, {150, 50, 30, 255}, {50, 150, 30, 255}},
      {BlendMode::Add, {200, 100, 0, 255}, {100, 100, 10, 255}, {255, 200, 10, 255}},
      {BlendMode::Subtract, {200, 50, 0, 255}, {100, 100, 10, 255}, {0, 50, 10, 255}},
      {BlendMode::Invert, {9, 9, 9, 255}, {200, 100, 0, 255}, {55, 155, 255, 255}},
      {BlendMode::Alpha, {0, 0, 0, 51}, {200, 100, 0, 255}, {200, 100, 0, 51}},
      {BlendMode::Erase, {0, 0, 0, 204}, {200, 100, 0, 255}, {200, 100, 0, 51}},
      {BlendMode::Overlay, {255, 255, 255, 255}, {64, 200, 0, 255}, {128, 255, 0, 255}},
      {BlendMode::Overlay, {128, 128, 128, 255}, {64, 200, 0, 255}, {64, 200, 0, 255}},
      {BlendMode::Hardlight, {64, 200, 0, 255}, {128, 128, 128, 255}, {64, 200, 0, 255}},
      {BlendMode::Multiply, {0, 0, 0, 0}, {10, 20, 30, 255}, {10, 20, 30, 255}},
  };
  for (const Case& c : cases) {
    Image below = MakeImage(1, 1, c.below), layer = MakeImage(1, 1, c.layer);
    Composite(below, layer, c.mode);
    const Image wantIm = MakeImage(1, 1, c.expect);
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(below.rgba[size_t(k)], wantIm.rgba[size_t(k)], 2) << int(c.mode) << " channel " << k;
  }
}

Image Blob(int size, int margin) {
  Image im = MakeImage(size, size, {0, 0, 0, 0});
  Paint p;
  p.color = {255, 128, 0, 255};
  FillEdges(im, Rect(margin, margin + 3, size - margin - 5, size - margin), FillRule::NonZero, p, {});
  return im;
}

void Centroid(const Image& im, double* x, double* y, double* mass) {
  *x = *y = *mass = 0;
  for (int py = 0; py < im.height; ++py)
    for (int px = 0; px < im.width; ++px) {
      const double a = Px(im, px, py)[3];
      *mass += a, *x += a * px, *y += a * py;
    }
  *x /= *mass, *y /= *mass;
}

TEST(RasterFilter, BlurKeepsMassAndShadowsMoveByTheirDistance) {
  Filter blur;
  blur.blurX = 9.5, blur.blurY = 3, blur.passes = 3;
  const int margin = FilterMargin(blur);
  Image im = Blob(2 * margin + 20, margin);
  double x0, y0, m0, x1, y1, m1;
  Centroid(im, &x0, &y0, &m0);
  ApplyFilter(im, blur);
  Centroid(im, &x1, &y1, &m1);
  EXPECT_NEAR(m1, m0, m0 * 0.01);
  EXPECT_NEAR(x1, x0, 0.05);
  EXPECT_NEAR(y1, y0, 0.05);
  for (int i = 0; i < im.width; ++i) EXPECT_EQ(Px(im, i, 0)[3], 0) << "the margin was too small";

  Filter shadow;
  shadow.kind = Filter::Kind::DropShadow;
  shadow.distance = 7, shadow.angle = kPi / 3, shadow.hideObject = true, shadow.blurX = shadow.blurY = 5;
  Image s = Blob(2 * FilterMargin(shadow) + 20, FilterMargin(shadow));
  ApplyFilter(s, shadow);
  Centroid(s, &x1, &y1, &m1);
  EXPECT_NEAR(x1 - x0 - (s.width - im.width) / 2.0, 7 * std::cos(kPi / 3), 0.1);
  EXPECT_NEAR(y1 - y0 - (s.width - im.width) / 2.0, 7 * std::sin(kPi / 3), 0.1);
  EXPECT_EQ(Px(s, s.width / 2, s.height / 2)[0], 0);  // black, no object
}

TEST(RasterFilter, ColourMatrixSwapsChannels) {
  Filter f;
  f.kind = Filter::Kind::ColorMatrix;
  const float swap[20] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0.5f, 10};
  std::copy(swap, swap + 20, f.matrix);
  Image im = MakeImage(1, 1, {200, 100, 20, 255});
  ApplyFilter(im, f);
  const Image want = MakeImage(1, 1, {20, 100, 200, 138});
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(im.rgba[size_t(k)], want.rgba[size_t(k)], 1) << k;
}

// The PNG read back by Python's zlib, with its CRCs and its Adler-32 checked
// there; straight colour expected.
TEST(RasterPng, ReadsBackWithZlib) {
  Image im = MakeImage(300, 90, {0, 0, 0, 0});  // over 64 KiB: several stored blocks
  std::string want;
  std::mt19937 rng(3);
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      const Rgba c{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(x % 3 ? 255 : 0)};
      const Image one = MakeImage(1, 1, c);
      std::copy(one.rgba.begin(), one.rgba.end(), im.rgba.begin() + (y * im.width + x) * 4);
      const Rgba back = c.a ? c : Rgba{0, 0, 0, 0};
      want += static_cast<char>(back.r), want += static_cast<char>(back.g), want += static_cast<char>(back.b),
          want += static_cast<char>(back.a);
    }
  const std::string dir = ::testing::TempDir();
  const std::vector<uint8_t> png = EncodePng(im);
  std::ofstream(dir + "raster.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  std::ofstream(dir + "raster.raw", std::ios::binary).write(want.data(), std::streamsize(want.size()));
  const std::string script =
      "import sys,zlib,struct\n"
      "d=open(sys.argv[1],'rb').read(); want=open(sys.argv[2],'rb').read()\n"
      "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "p=8; idat=b''; w=h=0\n"
      "while p<len(d):\n"
      " n,t=struct.unpack('>I4s',d[p:p+8]); body=d[p+8:p+8+n]\n"
      " assert zlib.crc32(t+body)==struct.unpack('>I',d[p+8+n:p+12+n])[0], t\n"
      " if t==b'IHDR': w,h,bits,kind=struct.unpack('>IIBB',body[:10]); assert (bits,kind)==(8,6)\n"
      " if t==b'IDAT': idat+=body\n"
      " p+=12+n\n"
      "raw=zlib.decompress(idat)\n"
      "rows=[raw[y*(4*w+1)+1:(y+1)*(4*w+1)] for y in range(h)]\n"
      "assert all(raw[y*(4*w+1)]==0 for y in range(h))\n"
      "sys.exit(0 if b''.join(rows)==want else 1)\n";
  std::ofstream(dir + "raster_png.py") << script;
  const std::string cmd = "python3 " + dir + "raster_png.py " + dir + "raster.png " + dir + "raster.raw";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
}  // namespace player
