// The drawing API of the script host: each clip's drawing kept as the
// rasterizer's geometry, in twips, under the clip's children.
#include <algorithm>
#include <cmath>
#include <string>

#include "script_host.h"

namespace player {
namespace {

using script::ClipId;

double Finite(double v) { return std::isfinite(v) ? v : 0; }

Color ToColor(uint32_t rgb, double alpha) {
  return {static_cast<uint8_t>(rgb >> 16 & 255), static_cast<uint8_t>(rgb >> 8 & 255),
          static_cast<uint8_t>(rgb & 255), static_cast<uint8_t>(std::clamp(alpha, 0.0, 100.0) * 2.55 + 0.5)};
}

}  // namespace

ShapeGeometry& ScriptHost::Drawing(Clip& clip) {
  if (!clip.drawing) clip.drawing = std::make_shared<ShapeGeometry>();
  return *clip.drawing;
}

void ScriptHost::AddEdge(ClipId id, const Edge& edge) {
  const Where* w = Find(id);
  if (!w) return;
  Pen& pen = pens_[id];
  if (drawnEdges_ >= kMaxDrawnEdges) {
    if (!drawCapNoted_) errors_.push_back("drawing stopped at the cap of " + std::to_string(kMaxDrawnEdges) + " edges");
    drawCapNoted_ = true;
    return;
  }
  drawnEdges_ += 2;  // the edge and its outline
  pen.edges += 2;
  ShapeGeometry& g = Drawing(*w->clip);
  DropClosing(g, pen);
  Append(g, pen, edge, true);
  pen.at = edge.to;
  // An open fill shows closed, its outline too, until the next edge.
  if (pen.filling && (pen.at.x != pen.start.x || pen.at.y != pen.start.y)) {
    Append(g, pen, {pen.at, pen.at, pen.start, false}, pen.lining);
    pen.closing = true;
    pen.closingLine = pen.lining;
  }
}

void ScriptHost::Append(ShapeGeometry& g, Pen& pen, const Edge& edge, bool line) {
  if (pen.filling && pen.group >= 0) g.groups[static_cast<size_t>(pen.group)].fills[0].edges.push_back(edge);
  if (!pen.lining || !line) return;
  if (pen.lineGroup < 0) {
    pen.lineGroup = pen.filling ? pen.group : static_cast<int>(g.groups.size());
    if (!pen.filling) g.groups.emplace_back();
    pen.lineIndex = -1;
  }
  StyleGroup& group = g.groups[static_cast<size_t>(pen.lineGroup)];
  if (pen.lineIndex < 0) {
    pen.lineIndex = static_cast<int>(group.lines.size());
    group.lines.push_back({pen.line, {}});
    pen.newRun = true;
  }
  LineRuns& runs = group.lines[static_cast<size_t>(pen.lineIndex)];
  if (pen.newRun || runs.runs.empty()) runs.runs.emplace_back();
  runs.runs.back().push_back(edge);
  pen.newRun = false;
}

void ScriptHost::DropClosing(ShapeGeometry& g, Pen& pen) {
  if (!pen.closing) return;
  pen.closing = false;
  if (pen.group >= 0) g.groups[static_cast<size_t>(pen.group)].fills[0].edges.pop_back();
  if (pen.closingLine && pen.lineGroup >= 0 && pen.lineIndex >= 0) {
    auto& runs = g.groups[static_cast<size_t>(pen.lineGroup)].lines[static_cast<size_t>(pen.lineIndex)].runs;
    if (!runs.empty() && !runs.back().empty()) runs.back().pop_back();
  }
}

void ScriptHost::CloseFill(ClipId id) {
  Pen& pen = pens_[id];
  if (!pen.filling) return;
  pen.closing = false;  // the closing edge stays
  pen.at = pen.start;
  pen.filling = false;
  pen.group = pen.lineGroup = pen.lineIndex = -1;
}

void ScriptHost::begin_fill(ClipId clip, std::uint32_t rgb, double alpha) {
  FillStyle fill;
  fill.color = ToColor(rgb, alpha);
  const Where* w = Find(clip);
  if (!w) return;
  CloseFill(clip);
  Pen& pen = pens_[clip];
  ShapeGeometry& g = Drawing(*w->clip);
  pen.group = static_cast<int>(g.groups.size());
  g.groups.emplace_back();
  g.groups.back().fills.push_back({fill, {}});
  pen.filling = true;
  pen.start = pen.at;
  pen.lineGroup = pen.lineIndex = -1;
}

void ScriptHost::begin_gradient_fill(ClipId clip, const script::GradientFill& f) {
  const Where* w = Find(clip);
  if (!w) return;
  FillStyle fill;
  fill.type = !f.radial ? kFillLinear : f.focal_point != 0 ? kFillFocal : kFillRadial;
  const size_t n = std::min({f.colors.size(), f.alphas.size(), f.ratios.size(), size_t{15}});
  for (size_t i = 0; i < n; ++i)
    fill.stops.push_back({static_cast<uint8_t>(std::clamp(f.ratios[i], 0, 255)), ToColor(f.colors[i], f.alphas[i])});
  fill.matrix = {f.matrix.a, f.matrix.b, f.matrix.c, f.matrix.d, f.matrix.tx * 20, f.matrix.ty * 20};
  fill.spread = f.spread == "reflect" ? 1 : f.spread == "repeat" ? 2 : 0;
  fill.interpolation = f.interpolation == "linearRGB" ? 1 : 0;
  fill.focal = f.focal_point;
  begin_fill(clip, 0, 100);
  Pen& pen = pens_[clip];
  if (pen.group >= 0) Drawing(*w->clip).groups[static_cast<size_t>(pen.group)].fills[0].style = fill;
}

void ScriptHost::line_style(ClipId clip, const script::LineStyle& style) {
  Pen& pen = pens_[clip];
  pen.lining = style.thickness >= 0;
  LineStyle line;
  line.width = static_cast<uint16_t>(std::clamp(Finite(style.thickness) * 20, 20.0, 255.0 * 20));
  line.color = ToColor(style.rgb, style.alpha);
  const uint8_t cap = style.caps == "none" ? 1 : style.caps == "square" ? 2 : 0;
  line.startCap = line.endCap = cap;
  line.join = style.joints == "bevel" ? 1 : style.joints == "miter" ? 2 : 0;
  line.miterLimit = style.miter_limit;
  line.noHScale = style.scale_mode == "none" || style.scale_mode == "vertical";
  line.noVScale = style.scale_mode == "none" || style.scale_mode == "horizontal";
  pen.line = line;
  pen.lineIndex = -1;
}

void ScriptHost::move_to(ClipId clip, double x, double y) {
  Pen& pen = pens_[clip];
  pen.closing = false;  // a fill's subpath closes for good
  pen.at = pen.start = {Finite(x) * 20, Finite(y) * 20};
  pen.newRun = true;
}

void ScriptHost::line_to(ClipId clip, double x, double y) {
  const Point from = pens_[clip].at, to{Finite(x) * 20, Finite(y) * 20};
  AddEdge(clip, {from, from, to, false});
}

void ScriptHost::curve_to(ClipId clip, double cx, double cy, double x, double y) {
  const Point from = pens_[clip].at;
  AddEdge(clip, {from, {Finite(cx) * 20, Finite(cy) * 20}, {Finite(x) * 20, Finite(y) * 20}, true});
}

void ScriptHost::end_fill(ClipId clip) {
 CloseFill(clip); }

void ScriptHost::clear(ClipId clip) {
  if (const Where* w = Find(clip)) w->clip->drawing.reset();
  Forget(clip);
}

}  // namespace player
