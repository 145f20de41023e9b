// The rasterizer's fills against oracles written here: a 16 x 16 point
// sampler with its own winding count, and exact polygon areas.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "raster/raster.h"

namespace player {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<Edge> Polygon(const std::vector<Point>& p) {
  std::vector<Edge> e;
  for (size_t i = 0; i < p.size(); ++i) e.push_back({p[i], {}, p[(i + 1) % p.size()], false});
  return e;
}

// The curves cut finely into lines, for the sampler.
std::vector<Edge> Lines(const std::vector<Edge>& edges) {
  std::vector<Edge> out;
  for (const Edge& e : edges) {
    if (!e.curved) {
      out.push_back(e);
      continue;
    }
    Point prev = e.from;
    for (int i = 1; i <= 64; ++i) {
      const double t = i / 64.0, u = 1 - t;
      const Point p{u * u * e.from.x + 2 * u * t * e.control.x + t * t * e.to.x,
                    u * u * e.from.y + 2 * u * t * e.control.y + t * t * e.to.y};
      out.push_back({prev, {}, p, false});
      prev = p;
    }
  }
  return out;
}

// Coverage 0..255 per pixel by 16 x 16 samples, each sample row's winding
// counted from the crossings left of it.
std::vector<int> Sampled(const std::vector<Edge>& edges, FillRule rule, int w, int h) {
  const std::vector<Edge> lines = Lines(edges);
  std::vector<int> in(size_t(w) * size_t(h));
  std::vector<std::pair<double, int>> crossings;
  for (int sy = 0; sy < h * 16; ++sy) {
    const double y = (sy + 0.5) / 16;
    crossings.clear();
    for (const Edge& e : lines) {
      const Point a = e.from, b = e.to;
      if ((a.y <= y) == (b.y <= y)) continue;
      crossings.push_back({a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), b.y > a.y ? 1 : -1});
    }
    std::sort(crossings.begin(), crossings.end());
    size_t next = 0;
    int winding = 0;
    for (int sx = 0; sx < w * 16; ++sx) {
      const double x = (sx + 0.5) / 16;
      while (next < crossings.size() && crossings[next].first < x) winding += crossings[next++].second;
      in[size_t(sy / 16) * size_t(w) + size_t(sx / 16)] += rule == FillRule::NonZero ? winding != 0 : (winding & 1);
    }
  }
  for (int& v : in) v = (v * 255 + 128) / 256;
  return in;
}

Image Filled(const std::vector<Edge>& edges, FillRule rule, int w, int h) {
  Image im = MakeImage(w, h, {0, 0, 0, 0});
  Paint white;
  white.color = {255, 255, 255, 255};
  FillEdges(im, edges, rule, white, {});
  return im;
}

double CoveredArea(const Image& im) {
  double sum = 0;
  for (size_t i = 3; i < im.rgba.size(); i += 4) sum += im.rgba[i] / 255.0;
  return sum;
}

struct Error {
  double mean;
  int worst, far;  // far: pixels off by more than a tenth
};

Error Compare(const std::vector<Edge>& edges, FillRule rule, int w, int h) {
  const Image im = Filled(edges, rule, w, h);
  const std::vector<int> ref = Sampled(edges, rule, w, h);
  Error e{0, 0, 0};
  for (size_t i = 0; i < ref.size(); ++i) {
    const int d = std::abs(int(im.rgba[i * 4 + 3]) - ref[i]);
    e.mean += d;
    e.worst = std::max(e.worst, d);
    e.far += d > 25;
  }
  e.mean /= double(ref.size());
  return e;
}

// Star-shaped contours, some reaching past the target, with a hole wound
// either way, edges given in shuffled order: exact area differs from 16 x 16
// samples by the sampling's own error only.
TEST(RasterFill, MatchesPointSamplerOnSimpleShapes) {
  std::mt19937 rng(26);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int shape = 0; shape < 30; ++shape) {
    const Point c{unit(rng) * 48, unit(rng) * 48};
    const double r = 4 + unit(rng) * 30;
    const int n = 5 + shape % 20;  // no gap between corners reaches half a turn
    std::vector<Point> outer, hole;
    for (int i = 0; i < n; ++i) {
      const double a = 2 * kPi * (i + 0.8 * unit(rng)) / n, k = 0.45 + 0.55 * unit(rng);
      outer.push_back({c.x + r * k * std::cos(a), c.y + r * k * std::sin(a)});
    }
    double inside = r;  // the hole stays clear of every outer edge
    for (int i = 0; i < n; ++i) {
      const Point a = outer[size_t(i)], b = outer[size_t((i + 1) % n)];
      inside = std::min(inside, std::fabs((b.x - a.x) * (a.y - c.y) - (a.x - c.x) * (b.y - a.y)) /
                                    std::hypot(b.x - a.x, b.y - a.y));
    }
    for (int i = 0; i < n; ++i) {
      const double a = 2 * kPi * i / n;
      hole.push_back({c.x + inside * 0.8 * std::cos(a), c.y + inside * 0.8 * std::sin(a)});
    }
    if (shape % 3 == 1) std::reverse(hole.begin(), hole.end());
    std::vector<Edge> edges = Polygon(outer);
    if (shape % 3) {
      const std::vector<Edge> inner = Polygon(hole);
      edges.insert(edges.end(), inner.begin(), inner.end());
    }
    std::shuffle(edges.begin(), edges.end(), rng);
    for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd}) {
      const Error e = Compare(edges, rule, 48, 48);
      EXPECT_LT(e.mean, 0.5) << "shape " << shape;
      EXPECT_LE(e.worst, 20) << "shape " << shape;
    }
  }
}

// Random self-crossing contours and curves: where edges cross or overlap
// inside one pixel, one accumulated area cannot tell windings apart, so only
// those few pixels may be far off.
TEST(RasterFill, StaysCloseToPointSamplerOnCrossingShapes) {
  std::mt19937 rng(62);
  std::uniform_real_distribution<double> coord(-8, 56);
  for (int shape = 0; shape < 30; ++shape) {
    std::vector<Edge> edges;
    for (int c = 0; c < 1 + shape % 3; ++c) {
      std::vector<Point> pts(size_t(3 + rng() % 6));
      for (Point& p : pts) p = {coord(rng), coord(rng)};
      for (size_t i = 0; i < pts.size(); ++i) {
        const Point a = pts[i], b = pts[(i + 1) % pts.size()];
        edges.push_back(shape % 2 && i % 2 ? Edge{a, {coord(rng), coord(rng)}, b, true} : Edge{a, {}, b, false});
      }
    }
    std::shuffle(edges.begin(), edges.end(), rng);
    for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd}) {
      const Error e = Compare(edges, rule, 48, 48);
      EXPECT_LT(e.mean, 2.5) << "shape " << shape;
      EXPECT_LE(e.far, 48 * 48 * 3 / 100) << "shape " << shape;
    }
  }
}

TEST(RasterFill, CoveredAreaIsThePolygonsArea) {
  struct Case {
    const char* name;
    std::vector<Point> pts;
    double area;  // below 0: the shoelace formula's
  };
  const double r = 17.3;
  std::vector<Point> ngon;
  for (int i = 0; i < 50; ++i) ngon.push_back({32.4 + r * std::cos(i * kPi / 25), 30.1 + r * std::sin(i * kPi / 25)});
  const Case cases[] = {
      {"triangle", {{3.3, 4.1}, {60.2, 9.7}, {20.5, 61.9}}, -1},
      {"sliver", {{1.2, 1.1}, {62.7, 60.3}, {62.9, 60.35}}, -1},
      {"50-gon", ngon, -1},
      {"whole target from afar", {{-1e6, -1e6}, {1e6, -1e6}, {1e6, 1e6}, {-1e6, 1e6}}, 64 * 64},
      {"half by a far diagonal", {{-1e5, -1e5}, {1e5, 1e5}, {-1e5, 1e5}}, 64 * 64 / 2.0},
      {"left of the target", {{-30, 5}, {-10, 5}, {-10, 40}}, 0},
  };
  for (const Case& c : cases) {
    double area = c.area;
    if (area < 0) {
      area = 0;
      for (size_t i = 0; i < c.pts.size(); ++i) {
        const Point a = c.pts[i], b = c.pts[(i + 1) % c.pts.size()];
        area += (a.x * b.y - b.x * a.y) / 2;
      }
      area = std::fabs(area);
    }
    for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd})
      EXPECT_NEAR(CoveredArea(Filled(Polygon(c.pts), rule, 64, 64)), area, 0.02 * 64 + area * 0.002) << c.name;
  }
}

// A circle of quadratic arcs against the area Archimedes gives each arc: two
// thirds of the triangle of its ends and control point, beyond its chord.
TEST(RasterFill, CurvesCoverTheirParabolicArea) {
  for (double r : {0.7, 3.2, 11.0, 29.5}) {
    std::vector<Edge> edges;
    const Point c{32.3, 31.8};
    double area = 0;
    for (int i = 0; i < 8; ++i) {
      const double a0 = i * kPi / 4, a1 = a0 + kPi / 4, am = a0 + kPi / 8, rc = r / std::cos(kPi / 8);
      const Edge e{{c.x + r * std::cos(a0), c.y + r * std::sin(a0)},
                   {c.x + rc * std::cos(am), c.y + rc * std::sin(am)},
                   {c.x + r * std::cos(a1), c.y + r * std::sin(a1)}, true};
      edges.push_back(e);
      const Point p = e.from, q = e.control, s = e.to;
      area += ((p.x - c.x) * (s.y - c.y) - (s.x - c.x) * (p.y - c.y)) / 2;
      area += std::fabs((q.x - p.x) * (s.y - p.y) - (s.x - p.x) * (q.y - p.y)) / 3;
    }
    // Lines cut from the arcs stay within 0.02 pixels of them.
    EXPECT_NEAR(CoveredArea(Filled(edges, FillRule::NonZero, 64, 64)), area, 2 * kPi * r * 0.02 + 0.01) << r;
  }
}

TEST(RasterFill, DamagedCoordinatesChangeNothingAndEndQuickly) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  std::vector<Edge> edges = {{{nan, 1}, {}, {5, 5}, false},
                             {{1, 1}, {inf, 2}, {5, 5}, true},
                             {{1e300, -1e300}, {}, {-1e300, 1e300}, false},
                             {{3, 1e12}, {1e15, 3}, {2, -1e12}, true}};
  Image im = Filled(edges, FillRule::NonZero, 32, 32);
  EXPECT_EQ(CoveredArea(im), 0);
  // A far curve crossing the target adds its real part only.
  im = Filled({{{-1e8, 16}, {16, -1e8}, {1e8, 16}, true}, {{1e8, 16}, {}, {-1e8, 16}, false}}, FillRule::NonZero, 32, 32);
  EXPECT_LE(CoveredArea(im), 32 * 32);
}

TEST(RasterFill, MaskScalesCoverageAndPaintsSourceOver) {
  Image mask = MakeImage(8, 8, {0, 0, 0, 0});
  for (int x = 0; x < 8; ++x) mask.rgba[size_t(x) * 4 + 3] = static_cast<uint8_t>(x * 36);
  Image im = MakeImage(8, 8, {0, 0, 255, 255});
  Paint red;
  red.color = {255, 0, 0, 255};
  FillEdges(im, Polygon({{0, 0}, {8, 0}, {8, 8}, {0, 8}}), FillRule::NonZero, red, {}, &mask);
  for (int x = 0; x < 8; ++x) {
    EXPECT_NEAR(im.rgba[size_t(x) * 4 + 0], x * 36, 1);
    EXPECT_NEAR(im.rgba[size_t(x) * 4 + 2], 255 - x * 36, 1);
    EXPECT_EQ(im.rgba[size_t(x) * 4 + 3], 255);
  }
}

}  // namespace
}  // namespace player
