// Exact area coverage of a set of edges, accumulated cell by cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/geometry.h"

namespace player {

// Accumulates signed, winding-weighted area over a width x height grid of
// pixels: each line leaves in the cell it crosses the part of its height that
// lies right of it, and in the next cell the rest, so that a running sum along
// a row gives each pixel its winding-weighted coverage. Parts of lines left of
// the grid count at its left border, those right of it at its right border, so
// a row's sum always closes.
class Coverage {
 public:
  Coverage(int width, int height);

  void AddEdge(const Edge& e);
  void AddLine(Point a, Point b);

  int width() const { return width_; }
  int height() const { return height_; }
  // Touched columns of row y (first > last when none).
  int First(int y) const { return first_[size_t(y)]; }
  int Last(int y) const { return last_[size_t(y)]; }
  // The first touched column of row y at or after x; past Last(y) when none.
  int NextTouched(int y, int x) const;
  // Row y's cells, First(y)..Last(y) meaningful.
  const float* Row(int y) const { return &cells_[size_t(y) * Stride()]; }

 private:
  float* MutableRow(int y) { return &cells_[size_t(y) * Stride()]; }
  size_t Stride() const { return size_t(width_) + 2; }
  void LineInside(double ax, double ay, double bx, double by);  // clipped to the grid
  void RowPiece(int row, double xa, double ya, double xb, double yb, float dir);
  void Deposit(int row, int cx, float dy, float xm);

  int width_, height_;
  std::vector<float> cells_;
  std::vector<int> first_, last_;
  size_t words_;  // of touched_ a row
  std::vector<uint64_t> touched_;  // a bit a cell
};

}  // namespace player
