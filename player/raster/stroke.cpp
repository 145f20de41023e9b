#include "raster/stroke.h"

#include <algorithm>
#include <cmath>

namespace player {
namespace {

// A stroke is the union of convex pieces (one quadrilateral a line, a join at
// each corner, a cap at each end), every piece wound the same way, so that a
// non-zero fill paints their union however they overlap.

constexpr double kFlatness = 0.05;  // pixels, for the centre line of curves
constexpr int kMaxCurvePieces = 128;
constexpr double kPi = 3.14159265358979323846;

bool Finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < 1e9 && std::fabs(p.y) < 1e9; }
bool Same(Point a, Point b) { return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9; }
Point Add(Point a, Point b, double k = 1) { return {a.x + b.x * k, a.y + b.y * k}; }

struct Vertex {
  Point p;
  bool corner;  // where two of the caller's edges meet, not inside a curve
};

class Builder {
 public:
  Builder(const Stroke& s, std::vector<Edge>& out)
      : stroke_(s), half_(std::max(std::isfinite(s.width) ? s.width : 1.0, 1.0) / 2), out_(out) {}

  void Path(const std::vector<Vertex>& v, bool closed);

 private:
  void Polygon(std::initializer_list<Point> pts);
  void Disc(Point c);
  void JoinAt(Point v, Point d0, Point d1, Join join);
  void CapAt(Point p, Point dir, Cap cap);  // dir points out of the line

  const Stroke& stroke_;
  double half_;
  std::vector<Edge>& out_;
};

void Builder::Polygon(std::initializer_list<Point> pts) {
  const Point* p = pts.begin();
  const size_t n = pts.size();
  double area = 0;
  for (size_t i = 0; i < n; ++i) {
    const Point a = p[i], b = p[(i + 1) % n];
    area += a.x * b.y - b.x * a.y;
  }
  if (area == 0) return;
  for (size_t i = 0; i < n; ++i) {
    const Point a = p[i], b = p[(i + 1) % n];
    out_.push_back(area > 0 ? Edge{a, {}, b, false} : Edge{b, {}, a, false});
  }
}

// Eight quadratic arcs, wound like a polygon of positive area.
void Builder::Disc(Point c) {
  const double rc = half_ / std::cos(kPi / 8);
  for (int i = 0; i < 8; ++i) {
    const double a0 = i * kPi / 4, a1 = (i + 1) * kPi / 4, am = (a0 + a1) / 2;
    out_.push_back({{c.x + half_ * std::cos(a0), c.y + half_ * std::sin(a0)},
                    {c.x + rc * std::cos(am), c.y + rc * std::sin(am)},
                    {c.x + half_ * std::cos(a1), c.y + half_ * std::sin(a1)},
                    true});
  }
}

void Builder::JoinAt(Point v, Point d0, Point d1, Join join) {
  const double cross = d0.x * d1.y - d0.y * d1.x;
  const double dot = d0.x * d1.x + d0.y * d1.y;
  if (std::fabs(cross) < 1e-12 && dot > 0) return;  // straight on
  if (join == Join::Round) {
    Disc(v);
    return;
  }
  // The outer side is the one the path turns away from.
  const double s = cross > 0 ? -1 : 1;
  const Point n0{-d0.y * s, d0.x * s}, n1{-d1.y * s, d1.x * s};
  const Point a = Add(v, n0, half_), b = Add(v, n1, half_);
  if (join == Join::Miter) {
    const Point mid{n0.x + n1.x, n0.y + n1.y};
    const double len = std::hypot(mid.x, mid.y);
    const double cosHalf = len / 2;  // of the turn angle
    if (cosHalf > 1e-9 && 1 / cosHalf <= stroke_.miterLimit) {
      const Point m = Add(v, mid, half_ / cosHalf / len);
      Polygon({v, a, m, b});
      return;
    }
  }
  Polygon({v, a, b});
}

void Builder::CapAt(Point p, Point dir, Cap cap) {
  if (cap == Cap::Round) {
    Disc(p);
  } else if (cap == Cap::Square) {
    const Point n{-dir.y, dir.x};
    const Point q = Add(p, dir, half_);
    Polygon({Add(p, n, half_), Add(q, n, half_), Add(q, n, -half_), Add(p, n, -half_)});
  }
}

void Builder::Path(const std::vector<Vertex>& v, bool closed) {
  if (v.empty()) return;
  if (v.size() == 1) {  // a dot: its caps alone
    if (stroke_.startCap == Cap::Round || stroke_.endCap == Cap::Round) {
      Disc(v[0].p);
    } else if (stroke_.startCap == Cap::Square || stroke_.endCap == Cap::Square) {
      const Point p = v[0].p;
      Polygon({{p.x - half_, p.y - half_}, {p.x + half_, p.y - half_}, {p.x + half_, p.y + half_}, {p.x - half_, p.y + half_}});
    }
    return;
  }
  std::vector<Point> dirs(v.size() - 1);
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    const double dx = v[i + 1].p.x - v[i].p.x, dy = v[i + 1].p.y - v[i].p.y;
    const double len = std::hypot(dx, dy);
    dirs[i] = {dx / len, dy / len};
    const Point n{-dirs[i].y * half_, dirs[i].x * half_};
    Polygon({Add(v[i].p, n), Add(v[i + 1].p, n), Add(v[i + 1].p, n, -1), Add(v[i].p, n, -1)});
  }
  for (size_t i = 1; i + 1 < v.size(); ++i)
    JoinAt(v[i].p, dirs[i - 1], dirs[i], v[i].corner ? stroke_.join : Join::Bevel);
  if (closed) {
    JoinAt(v[0].p, dirs.back(), dirs.front(), v[0].corner ? stroke_.join : Join::Bevel);
  } else {
    CapAt(v.front().p, {-dirs.front().x, -dirs.front().y}, stroke_.startCap);
    CapAt(v.back().p, dirs.back(), stroke_.endCap);
  }
}

// The centre line as points, curves cut into lines; consecutive equal points
// dropped.
void Flatten(const Edge& e, std::vector<Vertex>& out) {
  auto push = [&](Point p, bool corner) {
    if (out.empty() || !Same(out.back().p, p)) {
      out.push_back({p, corner});
    } else if (corner) {
      out.back().corner = true;
    }
  };
  if (out.empty()) push(e.from, true);
  if (e.curved) {
    const double ddx = e.from.x - 2 * e.control.x + e.to.x;
    const double ddy = e.from.y - 2 * e.control.y + e.to.y;
    const double dev = std::hypot(ddx, ddy) / 4;
    const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(dev / kFlatness))), 1, kMaxCurvePieces);
    for (int i = 1; i < n; ++i) {
      const double t = double(i) / n, u = 1 - t;
      push({u * u * e.from.x + 2 * u * t * e.control.x + t * t * e.to.x,
            u * u * e.from.y + 2 * u * t * e.control.y + t * t * e.to.y},
           false);
    }
  }
  push(e.to, true);
}

}  // namespace

std::vector<Edge> StrokeEdges(const std::vector<std::vector<Edge>>& paths, const Stroke& stroke) {
  std::vector<Edge> out;
  Builder builder(stroke, out);
  std::vector<Vertex> run;
  auto finish = [&] {
    const bool closed = run.size() > 2 && Same(run.front().p, run.back().p);
    builder.Path(run, closed);
    run.clear();
  };
  for (const std::vector<Edge>& path : paths) {
    for (const Edge& e : path) {
      if (!Finite(e.from) || !Finite(e.to) || (e.curved && !Finite(e.control))) continue;
      // An edge that does not start where the last ended begins a new run.
      if (!run.empty() && !Same(run.back().p, e.from)) finish();
      Flatten(e, run);
    }
    finish();
  }
  return out;
}

}  // namespace player
