#include "raster/fill.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "raster/coverage.h"
#include "raster/pixel.h"
#include "raster/span_source.h"

namespace player {
namespace {

bool Finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

struct Box {
  static constexpr double kInf = std::numeric_limits<double>::infinity();
  double x0 = kInf, y0 = kInf, x1 = -kInf, y1 = -kInf;
  void Add(Point p) {
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
  }
};

uint32_t ToAlpha(float acc, FillRule rule) {
  float c = std::fabs(acc);
  if (rule == FillRule::EvenOdd) {
    c -= 2 * std::floor(c / 2);
    if (c > 1) c = 2 - c;
  } else if (c > 1) {
    c = 1;
  }
  return static_cast<uint32_t>(c * 255 + 0.5f);
}

class Spans {
 public:
  Spans(Image& target, const SpanSource& source, const Image* clip)
      : target_(target), source_(source), clip_(clip), colours_(source.Solid() ? 0 : size_t(target.width) * 4) {}

  // Pixels x..x+n-1 of row y, covered k/255.
  void Draw(int x, int y, int n, uint32_t k) {
    if (k == 0 || n <= 0) return;
    uint8_t* dst = &target_.rgba[(size_t(y) * size_t(target_.width) + size_t(x)) * 4];
    const uint8_t* clip = clip_ ? &clip_->rgba[(size_t(y) * size_t(clip_->width) + size_t(x)) * 4 + 3] : nullptr;
    const uint8_t* src = source_.Colour();
    size_t step = 0;
    if (!clip && k == 255 && source_.Opaque()) {
      source_.Fill(x, y, n, dst);
      return;
    }
    if (!source_.Solid()) {
      source_.Fill(x, y, n, colours_.data());
      src = colours_.data();
      step = 4;
    }
    if (!clip && k == 255 && step == 0 && src[3] == 255) {
      for (int i = 0; i < n; ++i) std::copy(src, src + 4, dst + 4 * i);
      return;
    }
    for (int i = 0; i < n; ++i, dst += 4, src += step) {
      const uint32_t kk = clip ? pixel::Div255(k * clip[size_t(i) * 4]) : k;
      if (kk == 255 && src[3] == 255) {
        std::copy(src, src + 4, dst);
      } else if (kk && src[3]) {
        pixel::BlendOver(dst, src, kk);
      }
    }
  }

 private:
  Image& target_;
  const SpanSource& source_;
  const Image* clip_;
  std::vector<uint8_t> colours_;
};

}  // namespace

void FillEdges(Image& target, const std::vector<Edge>& edges, FillRule rule, const Paint& paint,
               const ColorTransform& cx, const Image* clip) {
  if (target.width <= 0 || target.height <= 0 ||
      target.rgba.size() != size_t(target.width) * size_t(target.height) * 4)
    return;
  if (clip && (clip->width != target.width || clip->height != target.height ||
               clip->rgba.size() != target.rgba.size()))
    return;
  const SpanSource source(paint, cx);
  if (!source.Visible()) return;

  Box box;
  for (const Edge& e : edges) {
    if (!Finite(e.from) || !Finite(e.to) || (e.curved && !Finite(e.control))) continue;
    box.Add(e.from);
    box.Add(e.to);
    if (e.curved) box.Add(e.control);
  }
  // Only the target's part of the box; everything left of it counts at its
  // left border, so the box reaches as far left as the shape does.
  const int x0 = static_cast<int>(std::clamp(std::floor(box.x0), 0.0, double(target.width)));
  const int y0 = static_cast<int>(std::clamp(std::floor(box.y0), 0.0, double(target.height)));
  const int x1 = static_cast<int>(std::clamp(std::ceil(box.x1), 0.0, double(target.width)));
  const int y1 = static_cast<int>(std::clamp(std::ceil(box.y1), 0.0, double(target.height)));
  // Nothing usable, or wholly above, below, left or right of the target.
  if (!(box.x0 <= box.x1) || x1 <= x0 || y1 <= y0) return;

  Coverage cov(x1 - x0, y1 - y0);
  for (const Edge& e : edges) {
    Edge m = e;
    m.from.x -= x0, m.from.y -= y0, m.to.x -= x0, m.to.y -= y0;
    m.control.x -= x0, m.control.y -= y0;
    cov.AddEdge(m);
  }

  Spans spans(target, source, clip);
  const int w = cov.width();
  for (int y = 0; y < cov.height(); ++y) {
    const int first = cov.First(y), last = std::min(cov.Last(y), w);
    if (first > last) continue;
    const float* cells = cov.Row(y);
    float acc = 0;
    int runStart = first;
    uint32_t runAlpha = 0;
    // Between touched cells coverage stays as it is: one run.
    for (int x = cov.NextTouched(y, first); x <= last; x = cov.NextTouched(y, x + 1)) {
      acc += cells[x];
      const uint32_t a = x < w ? ToAlpha(acc, rule) : 0;
      if (a != runAlpha) {
        spans.Draw(x0 + runStart, y0 + y, x - runStart, runAlpha);
        runStart = x;
        runAlpha = a;
      }
    }
    // An edge set that does not close leaves the rest of the row covered.
    if (runStart < w) spans.Draw(x0 + runStart, y0 + y, w - runStart, runAlpha);
  }
}

}  // namespace player
