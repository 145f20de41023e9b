// Blending a finished layer onto what lies below it.
#pragma once

#include "raster/image.h"

namespace player {

enum class BlendMode {
  Normal, Layer, Multiply, Screen, Lighten, Darken, Difference, Add, Subtract,
  Invert, Alpha, Erase, Overlay, Hardlight
};

// `layer` and `clip` have the target's size; clip's alpha scales the layer.
// Alpha and Erase act on the target's alpha (their layer being the one a
// Layer-blended parent gives them).
void Composite(Image& target, const Image& layer, BlendMode mode, const Image* clip = nullptr);

}  // namespace player
