// Placeholders while the rasterizer is written.
#include "raster/raster.h"

namespace player {

void Composite(Image&, const Image&, BlendMode, const Image*) {}
int FilterMargin(const Filter&) { return 0; }
void ApplyFilter(Image&, const Filter&) {}

}  // namespace player
