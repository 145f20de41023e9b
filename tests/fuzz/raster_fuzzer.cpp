// libFuzzer target: arbitrary bytes as a small scene for the rasterizer. The
// first bytes pick the target size, fill rule, paint, blend mode and filter;
// the rest become edges whose coordinates are drawn from a table that
// includes NaN, infinities and huge values besides ordinary pixels. Checked:
// no crash, hang or growth; every image stays its size and premultiplied
// (no colour above its alpha); PNGs have the size stored blocks give.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "fuzz_check.h"
#include "raster/raster.h"

namespace {

using namespace player;

class Bytes {
 public:
  Bytes(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  uint8_t U8() { return i_ < n_ ? d_[i_++] : 0; }
  bool More() const { return i_ < n_; }
  double Coord() {
    const uint8_t b = U8();
    switch (b) {
      case 250: return std::numeric_limits<double>::quiet_NaN();
      case 251: return std::numeric_limits<double>::infinity();
      case 252: return -1e300;
      case 253: return 1e12;
      case 254: return -3e8;
      case 255: return 1e-300;
      default: return (b - 40) * 0.75 + U8() / 256.0;
    }
  }
  Point P() { return {Coord(), Coord()}; }

 private:
  const uint8_t* d_;
  size_t n_, i_ = 0;
};

void CheckImage(const Image& im, int w, int h) {
  FUZZ_CHECK(im.width == w && im.height == h && im.rgba.size() == size_t(w) * size_t(h) * 4);
  for (size_t i = 0; i < im.rgba.size(); i += 4)
    for (int c = 0; c < 3; ++c) FUZZ_CHECK(im.rgba[i + size_t(c)] <= im.rgba[i + 3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  const int w = 1 + in.U8() % 96, h = 1 + in.U8() % 96;
  const uint8_t mode = in.U8();
  Image target = MakeImage(w, h, {in.U8(), in.U8(), in.U8(), in.U8()});
  Image bitmap = MakeImage(1 + in.U8() % 9, 1 + in.U8() % 9, {in.U8(), 30, 200, in.U8()});

  Paint paint;
  paint.kind = static_cast<Paint::Kind>(mode % 5);
  paint.color = {in.U8(), in.U8(), in.U8(), in.U8()};
  paint.spread = static_cast<Spread>((mode >> 3) % 3);
  paint.interpolation = (mode & 0x20) ? Interpolation::LinearRgb : Interpolation::Rgb;
  paint.focal = static_cast<float>(static_cast<int8_t>(in.U8())) / 100.0f;
  paint.repeat = mode & 0x40;
  paint.smooth = mode & 0x80;
  paint.bitmap = &bitmap;
  for (int i = in.U8() % 6; i > 0; --i) paint.stops.push_back({in.U8(), {in.U8(), in.U8(), in.U8(), in.U8()}});
  paint.matrix = {in.Coord() / 8, in.Coord() / 64, in.Coord() / 64, in.Coord() / 8, in.Coord(), in.Coord()};
  ColorTransform cx;
  if (in.U8() & 1)
    for (int k = 0; k < 4; ++k) cx.mul[k] = static_cast<float>(static_cast<int8_t>(in.U8())) / 64.0f, cx.add[k] = static_cast<float>(static_cast<int8_t>(in.U8())) * 2.0f;

  const FillRule rule = in.U8() & 1 ? FillRule::EvenOdd : FillRule::NonZero;
  Stroke stroke;
  stroke.width = in.U8() / 8.0;
  stroke.startCap = static_cast<Cap>(in.U8() % 3);
  stroke.endCap = static_cast<Cap>(in.U8() % 3);
  stroke.join = static_cast<Join>(in.U8() % 3);
  stroke.miterLimit = in.U8() / 16.0;
  const BlendMode blend = static_cast<BlendMode>(in.U8() % 14);
  Filter filter;
  filter.kind = static_cast<Filter::Kind>(in.U8() % 5);
  filter.blurX = in.U8() / 8.0, filter.blurY = in.U8() / 8.0;
  filter.passes = in.U8() % 17;
  filter.distance = in.Coord(), filter.angle = in.Coord(), filter.strength = in.U8() / 32.0;
  const uint8_t flags = in.U8();
  filter.inner = flags & 1, filter.knockout = flags & 2, filter.hideObject = flags & 4;
  filter.place = static_cast<Filter::Place>((flags >> 3) % 3);
  filter.color = {in.U8(), 0, 0, in.U8()};
  for (float& m : filter.matrix) m = static_cast<float>(static_cast<int8_t>(in.U8())) / 32.0f;

  std::vector<Edge> edges;
  std::vector<std::vector<Edge>> paths(1);
  while (in.More() && edges.size() < 64) {
    const uint8_t kind = in.U8();
    Edge e{paths.back().empty() ? in.P() : paths.back().back().to, {}, {}, (kind & 1) != 0};
    if (e.curved) e.control = in.P();
    e.to = in.P();
    edges.push_back(e);
    paths.back().push_back(e);
    if (kind & 2) paths.emplace_back();
  }

  FillEdges(target, edges, rule, paint, cx);
  CheckImage(target, w, h);
  const std::vector<Edge> outline = StrokeEdges(paths, stroke);
  Image layer = MakeImage(w, h, {0, 0, 0, 0});
  FillEdges(layer, outline, FillRule::NonZero, paint, cx, (flags & 0x40) ? &target : nullptr);
  CheckImage(layer, w, h);
  FUZZ_CHECK(FilterMargin(filter) >= 0);
  ApplyFilter(layer, filter);
  CheckImage(layer, w, h);
  Composite(target, layer, blend, (flags & 0x80) ? &bitmap : nullptr);  // a clip of the wrong size: ignored
  Composite(target, layer, blend, &layer);
  CheckImage(target, w, h);

  const std::vector<uint8_t> png = EncodePng(target);
  const size_t raw = (size_t(w) * 4 + 1) * size_t(h);
  const size_t blocks = (raw + 65534) / 65535;
  FUZZ_CHECK(png.size() == 8 + 25 + 12 + 2 + blocks * 5 + raw + 4 + 12);
  return 0;
}
