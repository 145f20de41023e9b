#pragma once
// A shape's records turned into what the rasterizer fills: for each style
// table in turn, one edge set per fill style and connected runs per line
// style, all in the shape's twips.
#include <vector>

#include "format/movie_data.h"
#include "raster/geometry.h"

namespace player {

struct FillSet {
  FillStyle style;
  std::vector<Edge> edges;
};
struct LineRuns {
  LineStyle style;
  std::vector<std::vector<Edge>> runs;
};
struct StyleGroup {
  std::vector<FillSet> fills;  // fills[i] for fill style i + 1
  std::vector<LineRuns> lines;
  bool sharedEdges = false;  // some edge has a fill on both sides
};
struct ShapeGeometry {
  std::vector<StyleGroup> groups;
  bool nonZero = false;
};

// An edge the records describe, in absolute twips, with the styles in force.
struct PlacedEdge {
  Edge edge;
  int table = 0;  // index into the shape's style tables
  uint32_t fill0 = 0, fill1 = 0, line = 0;
  bool startsRun = false;  // after a move or a style change
};

std::vector<PlacedEdge> PlaceEdges(const std::vector<ShapeRecord>& records);
ShapeGeometry BuildGeometry(const std::vector<StyleTable>& tables, const std::vector<PlacedEdge>& edges);
ShapeGeometry BuildShape(const ShapeDef& def);
// Glyphs are filled with fill style 1 wherever the records say so.
ShapeGeometry BuildGlyph(const Shape& glyph);
// The morph at `ratio` (0..65535).
ShapeGeometry BuildMorph(const MorphDef& def, int ratio);

}  // namespace player
