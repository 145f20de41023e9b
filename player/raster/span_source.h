// The colours a paint gives along a run of pixels of one row.
#pragma once

#include <cstdint>

#include "raster/image.h"
#include "raster/paint.h"

namespace player {

class SpanSource {
 public:
  SpanSource(const Paint& paint, const ColorTransform& cx);

  // False when the paint draws nothing (no bitmap, a fully transparent colour).
  bool Visible() const { return visible_; }
  // One colour everywhere: Colour() gives it, premultiplied.
  bool Solid() const { return kind_ == Paint::Kind::Solid; }
  const uint8_t* Colour() const { return solid_; }
  // Every colour it gives is opaque: Fill may write straight into the target.
  bool Opaque() const { return opaque_; }
  // Premultiplied colours of pixels x..x+n-1 of row y into out (4n bytes).
  void Fill(int x, int y, int n, uint8_t* out) const;

 private:
  void FillGradient(int x, int y, int n, uint8_t* out) const;
  void FillBitmap(int x, int y, int n, uint8_t* out) const;

  Paint::Kind kind_;
  bool visible_ = true;
  bool opaque_ = false;
  uint8_t solid_[4] = {0, 0, 0, 0};
  uint8_t lut_[256][4] = {};
  Spread spread_ = Spread::Pad;
  double focal_ = 0;
  Matrix inverse_;  // target pixel to gradient square (-1..1) or bitmap pixels
  bool degenerate_ = false;
  const Image* bitmap_ = nullptr;
  bool repeat_ = true, smooth_ = true;
  ColorTransform cx_;
  bool cxIdentity_ = true;
};

}  // namespace player
