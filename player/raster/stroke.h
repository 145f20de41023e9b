// Strokes turned into edges to fill.
#pragma once

#include <vector>

#include "raster/geometry.h"

namespace player {

enum class Cap { Round, None, Square };
enum class Join { Round, Bevel, Miter };

struct Stroke {
  double width = 1;  // pixels; below 1 a hairline drawn 1 pixel wide
  Cap startCap = Cap::Round, endCap = Cap::Round;
  Join join = Join::Round;
  double miterLimit = 3;  // in widths, as the movie format counts it
};

// Each inner vector is a connected run of edges, closed (no caps) when it ends
// where it started. The result is to be filled with FillRule::NonZero.
std::vector<Edge> StrokeEdges(const std::vector<std::vector<Edge>>& paths, const Stroke& stroke);

}  // namespace player
