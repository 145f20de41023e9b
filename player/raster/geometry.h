// Points, affine matrices and the edges shapes are made of, in pixels.
#pragma once

namespace player {

struct Point {
  double x, y;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty: the movie format's order (a and d
// scale, b and c rotate and skew).
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

// The inner matrix applies first.
Matrix operator*(const Matrix& outer, const Matrix& inner);
Point Apply(const Matrix& m, Point p);
// False (and *out untouched) for a matrix that collapses the plane.
bool Invert(const Matrix& m, Matrix* out);

// A straight line, or a quadratic Bezier through `control` when `curved`.
struct Edge {
  Point from, control, to;
  bool curved = false;
};

}  // namespace player
