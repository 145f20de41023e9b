// Placeholders while the rasterizer is written.
#include "raster/raster.h"

namespace player {

std::vector<Edge> StrokeEdges(const std::vector<std::vector<Edge>>&, const Stroke&) { return {}; }
void Composite(Image&, const Image&, BlendMode, const Image*) {}
int FilterMargin(const Filter&) { return 0; }
void ApplyFilter(Image&, const Filter&) {}

}  // namespace player
