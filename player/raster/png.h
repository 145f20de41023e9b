// PNG writer: 8-bit RGBA, straight alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/image.h"

namespace player {

std::vector<uint8_t> EncodePng(const Image& image);

}  // namespace player
