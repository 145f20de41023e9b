#include "shape_geometry.h"

#include <algorithm>

namespace player {
namespace {

Point P(int64_t x, int64_t y) { return {static_cast<double>(x), static_cast<double>(y)}; }

Edge Reversed(const Edge& e) { return {e.to, e.control, e.from, e.curved}; }

double Mix(double a, double b, double t) { return a + (b - a) * t; }
uint8_t MixByte(uint8_t a, uint8_t b, double t) {
  return static_cast<uint8_t>(Mix(a, b, t) + 0.5);
}
Color MixColor(const Color& a, const Color& b, double t) {
  return {MixByte(a.r, b.r, t), MixByte(a.g, b.g, t), MixByte(a.b, b.b, t), MixByte(a.a, b.a, t)};
}
SwfMatrix MixMatrix(const SwfMatrix& a, const SwfMatrix& b, double t) {
  return {Mix(a.a, b.a, t), Mix(a.b, b.b, t), Mix(a.c, b.c, t), Mix(a.d, b.d, t), Mix(a.tx, b.tx, t),
          Mix(a.ty, b.ty, t)};
}
FillStyle MixFill(const FillStyle& a, const FillStyle& b, double t) {
  FillStyle f = a;
  f.color = MixColor(a.color, b.color, t);
  f.matrix = MixMatrix(a.matrix, b.matrix, t);
  f.focal = Mix(a.focal, b.focal, t);
  for (size_t i = 0; i < f.stops.size() && i < b.stops.size(); ++i) {
    f.stops[i].ratio = MixByte(a.stops[i].ratio, b.stops[i].ratio, t);
    f.stops[i].color = MixColor(a.stops[i].color, b.stops[i].color, t);
  }
  return f;
}

Edge AsCurve(const Edge& e) {
  if (e.curved) return e;
  return {e.from, {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2}, e.to, true};
}

Point MixPoint(Point a, Point b, double t) { return {Mix(a.x, b.x, t), Mix(a.y, b.y, t)}; }

}  // namespace

std::vector<PlacedEdge> PlaceEdges(const std::vector<ShapeRecord>& records) {
  std::vector<PlacedEdge> out;
  int64_t x = 0, y = 0;  // wide: a long run of deltas may pass 32 bits
  PlacedEdge state;
  state.startsRun = true;
  for (const ShapeRecord& r : records) {
    if (r.kind == ShapeRecord::kStyle) {
      if (r.newTable >= 0) {
        state.table = r.newTable;
        state.fill0 = state.fill1 = state.line = 0;
      }
      if (r.hasMove) { x = r.moveX; y = r.moveY; }
      if (r.hasFill0) state.fill0 = r.fill0;
      if (r.hasFill1) state.fill1 = r.fill1;
      if (r.hasLine) state.line = r.line;
      state.startsRun = true;
      continue;
    }
    PlacedEdge e = state;
    e.edge.from = P(x, y);
    if (r.kind == ShapeRecord::kStraight) {
      x += r.dx;
      y += r.dy;
      e.edge.control = e.edge.from;
    } else {
      e.edge.control = P(x + r.cx, y + r.cy);
      x += static_cast<int64_t>(r.cx) + r.dx;
      y += static_cast<int64_t>(r.cy) + r.dy;
      e.edge.curved = true;
    }
    e.edge.to = P(x, y);
    out.push_back(e);
    state.startsRun = false;
  }
  return out;
}

ShapeGeometry BuildGeometry(const std::vector<StyleTable>& tables, const std::vector<PlacedEdge>& edges) {
  ShapeGeometry g;
  for (const StyleTable& t : tables) {
    StyleGroup group;
    for (const FillStyle& f : t.fills) group.fills.push_back({f, {}});
    for (const LineStyle& l : t.lines) group.lines.push_back({l, {}});
    g.groups.push_back(std::move(group));
  }
  for (size_t i = 0; i < edges.size(); ++i) {
    const PlacedEdge& e = edges[i];
    if (e.table < 0 || static_cast<size_t>(e.table) >= g.groups.size()) continue;
    StyleGroup& group = g.groups[static_cast<size_t>(e.table)];
    if (e.fill0 > 0 && e.fill1 > 0 && e.fill0 != e.fill1) group.sharedEdges = true;
    if (e.fill1 > 0 && e.fill1 <= group.fills.size()) group.fills[e.fill1 - 1].edges.push_back(e.edge);
    if (e.fill0 > 0 && e.fill0 <= group.fills.size())
      group.fills[e.fill0 - 1].edges.push_back(Reversed(e.edge));
    if (e.line > 0 && e.line <= group.lines.size()) {
      auto& runs = group.lines[e.line - 1].runs;
      const PlacedEdge* prev = i > 0 ? &edges[i - 1] : nullptr;
      const bool joins = prev && !runs.empty() && prev->line == e.line && prev->table == e.table &&
                         prev->edge.to.x == e.edge.from.x && prev->edge.to.y == e.edge.from.y;
      if (!joins) runs.emplace_back();
      runs.back().push_back(e.edge);
    }
  }
  return g;
}

ShapeGeometry BuildShape(const ShapeDef& def) {
  ShapeGeometry g = BuildGeometry(def.shape.tables, PlaceEdges(def.shape.records));
  g.nonZero = def.nonZero;
  return g;
}

ShapeGeometry BuildGlyph(const Shape& glyph) {
  StyleTable table;
  table.fills.emplace_back();
  return BuildGeometry({table}, PlaceEdges(glyph.records));
}

ShapeGeometry BuildMorph(const MorphDef& def, int ratio) {
  const double t = ratio / 65535.0;
  StyleTable table;
  for (const MorphFill& f : def.fills) table.fills.push_back(MixFill(f.start, f.end, t));
  for (const MorphLine& l : def.lines) {
    LineStyle s = l.style;
    s.width = static_cast<uint16_t>(Mix(l.startWidth, l.endWidth, t) + 0.5);
    s.color = MixColor(l.style.color, l.endColor, t);
    if (s.hasFill) s.fill = MixFill(l.style.fill, l.endFill, t);
    table.lines.push_back(s);
  }
  std::vector<PlacedEdge> start = PlaceEdges(def.start.records);
  const std::vector<PlacedEdge> end = PlaceEdges(def.end.records);
  for (size_t i = 0; i < start.size() && i < end.size(); ++i) {
    Edge a = start[i].edge, b = end[i].edge;
    if (a.curved != b.curved) { a = AsCurve(a); b = AsCurve(b); }
    start[i].edge = {MixPoint(a.from, b.from, t), MixPoint(a.control, b.control, t), MixPoint(a.to, b.to, t),
                     a.curved};
    start[i].table = 0;
  }
  start.resize(std::min(start.size(), end.size()));
  return BuildGeometry({table}, start);
}

}  // namespace player
