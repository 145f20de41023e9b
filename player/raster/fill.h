// Anti-aliased filling of edge sets.
#pragma once

#include <vector>

#include "raster/geometry.h"
#include "raster/image.h"
#include "raster/paint.h"

namespace player {

enum class FillRule { EvenOdd, NonZero };

// Paints the area the edges enclose, source-over in premultiplied colour, with
// exact area coverage. The edges need not form ordered contours: their signed
// windings add up. `clip`, when given, is an image of the target's size whose
// alpha multiplies the coverage (masks). Edges with non-finite coordinates are
// ignored; coordinates far outside the target cost nothing beyond the target.
void FillEdges(Image& target, const std::vector<Edge>& edges, FillRule rule, const Paint& paint,
               const ColorTransform& cx, const Image* clip = nullptr);

}  // namespace player
