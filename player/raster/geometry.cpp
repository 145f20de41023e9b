#include "raster/geometry.h"

#include <cmath>

namespace player {

Matrix operator*(const Matrix& o, const Matrix& i) {
  Matrix m;
  m.a = o.a * i.a + o.c * i.b;
  m.b = o.b * i.a + o.d * i.b;
  m.c = o.a * i.c + o.c * i.d;
  m.d = o.b * i.c + o.d * i.d;
  m.tx = o.a * i.tx + o.c * i.ty + o.tx;
  m.ty = o.b * i.tx + o.d * i.ty + o.ty;
  return m;
}

Point Apply(const Matrix& m, Point p) {
  return {m.a * p.x + m.c * p.y + m.tx, m.b * p.x + m.d * p.y + m.ty};
}

bool Invert(const Matrix& m, Matrix* out) {
  const double det = m.a * m.d - m.b * m.c;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  Matrix r;
  r.a = m.d / det;
  r.b = -m.b / det;
  r.c = -m.c / det;
  r.d = m.a / det;
  r.tx = -(r.a * m.tx + r.c * m.ty);
  r.ty = -(r.b * m.tx + r.d * m.ty);
  *out = r;
  return true;
}

}  // namespace player
