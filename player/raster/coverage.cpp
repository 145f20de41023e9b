#include "raster/coverage.h"

#include <algorithm>
#include <cmath>

namespace player {
namespace {

// Coordinates beyond this many pixels are taken as damaged: their edges are
// dropped rather than let the arithmetic below overflow.
constexpr double kFar = 1e9;

bool Usable(Point p) { return std::fabs(p.x) < kFar && std::fabs(p.y) < kFar; }  // false for NaN

// A curve is cut into straight lines no further than this from it (pixels).
constexpr double kFlatness = 0.02;
constexpr int kMaxCurvePieces = 256;

}  // namespace

Coverage::Coverage(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(Stride() * size_t(height_), 0.0f),
      first_(size_t(height_), width_ + 2),
      last_(size_t(height_), -1),
      words_((Stride() + 63) / 64),
      touched_(words_ * size_t(height_), 0) {}

int Coverage::NextTouched(int y, int x) const {
  const uint64_t* row = &touched_[size_t(y) * words_];
  size_t word = size_t(x) / 64;
  if (word >= words_) return width_ + 2;
  uint64_t bits = row[word] & (~uint64_t{0} << (unsigned(x) % 64));
  while (bits == 0) {
    if (++word == words_) return width_ + 2;
    bits = row[word];
  }
  return static_cast<int>(word * 64) + __builtin_ctzll(bits);
}

void Coverage::AddEdge(const Edge& e) {
  if (!e.curved) {
    AddLine(e.from, e.to);
    return;
  }
  if (!Usable(e.from) || !Usable(e.control) || !Usable(e.to)) return;
  const double minY = std::min({e.from.y, e.control.y, e.to.y});
  const double maxY = std::max({e.from.y, e.control.y, e.to.y});
  const double minX = std::min({e.from.x, e.control.x, e.to.x});
  const double maxX = std::max({e.from.x, e.control.x, e.to.x});
  if (maxY <= 0 || minY >= height_ || minX >= width_) return;  // adds nothing inside
  if (maxX <= 0) {  // wholly left: only its winding matters
    AddLine(e.from, e.to);
    return;
  }
  const double ddx = e.from.x - 2 * e.control.x + e.to.x;
  const double ddy = e.from.y - 2 * e.control.y + e.to.y;
  const double dev = std::sqrt(ddx * ddx + ddy * ddy) / 4;
  const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(dev / kFlatness))), 1, kMaxCurvePieces);
  Point prev = e.from;
  for (int i = 1; i <= n; ++i) {
    const double t = double(i) / n, u = 1 - t;
    const Point p = i == n ? e.to
                           : Point{u * u * e.from.x + 2 * u * t * e.control.x + t * t * e.to.x,
                                   u * u * e.from.y + 2 * u * t * e.control.y + t * t * e.to.y};
    AddLine(prev, p);
    prev = p;
  }
}

void Coverage::AddLine(Point a, Point b) {
  if (!Usable(a) || !Usable(b) || a.y == b.y) return;
  // Keep the part within 0 <= y <= height.
  double t0 = 0, t1 = 1;
  const double dy = b.y - a.y;
  const double tTop = (0 - a.y) / dy, tBottom = (height_ - a.y) / dy;
  t0 = std::max(t0, std::min(tTop, tBottom));
  t1 = std::min(t1, std::max(tTop, tBottom));
  if (t0 >= t1) return;
  const double dx = b.x - a.x;
  Point p{a.x + dx * t0, a.y + dy * t0};
  const Point q{a.x + dx * t1, a.y + dy * t1};
  // Cut where it crosses the left and right borders, and lay each part beyond
  // a border onto it.
  double cuts[2];
  int nc = 0;
  for (const double border : {0.0, double(width_)}) {
    if ((p.x - border) * (q.x - border) < 0) cuts[nc++] = (border - p.x) / (q.x - p.x);
  }
  if (nc == 2 && cuts[0] > cuts[1]) std::swap(cuts[0], cuts[1]);
  const double w = width_;
  for (int i = 0; i <= nc; ++i) {
    const double s = i == nc ? 1.0 : cuts[i];
    const Point r = i == nc ? q : Point{p.x + (q.x - p.x) * s, p.y + (q.y - p.y) * s};
    LineInside(std::clamp(p.x, 0.0, w), p.y, std::clamp(r.x, 0.0, w), r.y);
    p = r;
  }
}

void Coverage::LineInside(double ax, double ay, double bx, double by) {
  if (ay == by) return;
  float dir = 1;
  if (ay > by) {
    std::swap(ax, bx);
    std::swap(ay, by);
    dir = -1;
  }
  // x where the line is at height y, by a fraction kept within 0..1: a line
  // of nearly no height must not give inf * 0.
  const double span = by - ay;
  auto xAt = [&](double y) {
    const double t = std::min(1.0, (y - ay) / span);
    return std::clamp(ax + (bx - ax) * t, 0.0, double(width_));
  };
  const int rowFirst = std::max(0, static_cast<int>(std::floor(ay)));
  const int rowLast = std::min(height_ - 1, static_cast<int>(std::ceil(by)) - 1);
  for (int row = rowFirst; row <= rowLast; ++row) {
    const double ya = std::max(ay, double(row)), yb = std::min(by, double(row + 1));
    if (yb <= ya) continue;
    RowPiece(row, xAt(ya), ya - row, xAt(yb), yb - row, dir);
  }
}

void Coverage::RowPiece(int row, double xa, double ya, double xb, double yb, float dir) {
  const double lo = std::min(xa, xb), hi = std::max(xa, xb);
  const int c0 = static_cast<int>(lo), c1 = static_cast<int>(hi);
  const double height = yb - ya;
  if (c0 == c1 || hi - lo < 1e-9) {
    Deposit(row, c0, static_cast<float>(height) * dir, static_cast<float>((lo + hi) / 2 - c0));
    return;
  }
  const double perX = height / (hi - lo);
  for (int c = c0; c <= c1; ++c) {
    const double x0 = std::max(lo, double(c)), x1 = std::min(hi, double(c + 1));
    if (x1 <= x0) continue;
    Deposit(row, c, static_cast<float>((x1 - x0) * perX) * dir, static_cast<float>((x0 + x1) / 2 - c));
  }
}

void Coverage::Deposit(int row, int cx, float dy, float xm) {
  float* cells = MutableRow(row);
  cells[cx] += dy * (1 - xm);
  cells[cx + 1] += dy * xm;
  uint64_t* bits = &touched_[size_t(row) * words_];
  bits[size_t(cx) / 64] |= uint64_t{1} << (unsigned(cx) % 64);
  bits[size_t(cx + 1) / 64] |= uint64_t{1} << (unsigned(cx + 1) % 64);
  int& first = first_[size_t(row)];
  int& last = last_[size_t(row)];
  if (cx < first) first = cx;
  if (cx + 1 > last) last = cx + 1;
}

}  // namespace player
