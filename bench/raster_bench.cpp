// Frames per second of the player's rasterizer on scenes like a screen
// saver's at 1920 x 1080: a gradient sky, a few hundred curved edges in
// solid, radial and bitmap fills, strokes, one blurred and blended layer.
// Prints figures; times nothing against a limit. Times are the process's
// processor time, so that a busy machine does not count against it.
#include <ctime>
#include <cmath>
#include <cstdio>
#include <vector>

#include "raster/raster.h"

using namespace player;

namespace {

double Seconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

constexpr double kPi = 3.14159265358979323846;

std::vector<Edge> Blob(double cx, double cy, double r, int arcs, double wobble) {
  std::vector<Edge> e;
  auto at = [&](double a, double k) { return Point{cx + r * k * std::cos(a), cy + r * k * std::sin(a)}; };
  for (int i = 0; i < arcs; ++i) {
    const double a0 = 2 * kPi * i / arcs, a1 = 2 * kPi * (i + 1) / arcs;
    e.push_back({at(a0, 1), at((a0 + a1) / 2, 1.15 + wobble * ((i % 3) - 1)), at(a1, 1), true});
  }
  return e;
}

struct Scene {
  std::vector<std::vector<Edge>> shapes;
  std::vector<Paint> paints;
  std::vector<std::vector<std::vector<Edge>>> lines;
  Image bitmap = MakeImage(64, 64, {0, 0, 0, 0});
};

Scene Make(int w, int h) {
  Scene s;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const Image px = MakeImage(1, 1, {uint8_t(x * 4), uint8_t(y * 4), 128, 255});
      std::copy(px.rgba.begin(), px.rgba.end(), s.bitmap.rgba.begin() + (y * 64 + x) * 4);
    }
  Paint sky;
  sky.kind = Paint::Kind::Linear;
  sky.stops = {{0, {20, 40, 120, 255}}, {255, {200, 220, 255, 255}}};
  sky.matrix = {0, h / 32768.0, -w / 32768.0, 0, w / 2.0, h / 2.0};
  s.shapes.push_back({{{0, 0}, {}, {double(w), 0}}, {{double(w), 0}, {}, {double(w), double(h)}},
                      {{double(w), double(h)}, {}, {0, double(h)}}, {{0, double(h)}, {}, {0, 0}}});
  s.paints.push_back(sky);
  for (int i = 0; i < 24; ++i) {
    const double cx = (i * 397) % w, cy = (i * 211) % h, r = 40 + (i * 37) % 160;
    s.shapes.push_back(Blob(cx, cy, r, 12, 0.1));
    Paint p;
    if (i % 3 == 0) {
      p.color = {uint8_t(i * 40), 120, uint8_t(255 - i * 9), uint8_t(i % 2 ? 255 : 160)};
    } else if (i % 3 == 1) {
      p.kind = Paint::Kind::Radial;
      p.stops = {{0, {255, 255, 200, 255}}, {128, {255, 120, 0, 200}}, {255, {120, 0, 60, 0}}};
      p.matrix = {r / 16384.0, 0, 0, r / 16384.0, cx, cy};
    } else {
      p.kind = Paint::Kind::Bitmap;
      p.bitmap = &s.bitmap;
      p.matrix = {r / 40, r / 200, -r / 200, r / 40, cx, cy};
    }
    s.paints.push_back(p);
  }
  for (int i = 0; i < 8; ++i) {
    std::vector<Edge> run;
    Point at{100.0 + i * 200, 100};
    for (int k = 0; k < 10; ++k) {
      const Point to{at.x + 40 * std::cos(k + i), at.y + 90};
      run.push_back({at, {at.x + 60, at.y + 45}, to, true});
      at = to;
    }
    s.lines.push_back({run});
  }
  return s;
}

void Draw(const Scene& s, Image& frame, double t) {
  size_t edges = 0;
  for (size_t i = 0; i < s.shapes.size(); ++i) {
    Paint p = s.paints[i];
    p.matrix.tx += i ? 30 * std::sin(t + double(i)) : 0;
    std::vector<Edge> shape = s.shapes[i];
    if (i)
      for (Edge& e : shape) e.from.x += 30 * std::sin(t + double(i)), e.to.x += 30 * std::sin(t + double(i)),
                            e.control.x += 30 * std::sin(t + double(i));
    FillEdges(frame, shape, FillRule::NonZero, p, {});
    edges += shape.size();
  }
  Paint ink;
  ink.color = {20, 20, 20, 255};
  Stroke stroke;
  stroke.width = 3;
  for (const auto& line : s.lines) FillEdges(frame, StrokeEdges(line, stroke), FillRule::NonZero, ink, {});
  (void)edges;
}

}  // namespace

int main() {
  const int w = 1920, h = 1080;
  const Scene scene = Make(w, h);
  Image frame = MakeImage(w, h, {0, 0, 0, 255});
  const int frames = 60;
  double start = Seconds();
  for (int f = 0; f < frames; ++f) Draw(scene, frame, f / 30.0);
  const double shapes = Seconds() - start;

  Image layer = MakeImage(w, h, {0, 0, 0, 0});
  Paint glowInk;
  glowInk.color = {255, 255, 255, 255};
  Filter glow;
  glow.kind = Filter::Kind::Glow;
  glow.blurX = glow.blurY = 8;
  glow.color = {255, 200, 0, 255};
  start = Seconds();
  const int layered = 10;
  for (int f = 0; f < layered; ++f) {
    std::fill(layer.rgba.begin(), layer.rgba.end(), 0);
    FillEdges(layer, Blob(960, 540, 200, 16, 0.2), FillRule::NonZero, glowInk, {});
    ApplyFilter(layer, glow);
    Composite(frame, layer, BlendMode::Screen);
  }
  const double filtered = Seconds() - start;
  start = Seconds();
  const std::vector<uint8_t> png = EncodePng(frame);
  const double encode = Seconds() - start;
  std::printf("raster_bench %dx%d: scene of %zu fills (%zu curved edges) and %zu strokes: %.1f frames/s\n", w, h,
              scene.shapes.size(), scene.shapes.size() * 12, scene.lines.size(), frames / shapes);
  std::printf("  full-frame layer, glow (blur 8) and screen blend: %.1f ms a frame\n", filtered / layered * 1000);
  std::printf("  PNG of the frame (stored blocks): %.1f ms, %zu bytes\n", encode * 1000, png.size());
  if (FILE* f = std::fopen("raster_bench.png", "wb")) {
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }
  return 0;
}
