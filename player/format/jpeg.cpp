#include "jpeg.h"

namespace player {

std::string JpegSize(const std::vector<uint8_t>&, int&, int&) { return "JPEG bitmaps are not drawn yet"; }
std::string DecodeJpeg(const std::vector<uint8_t>&, int&, int&, std::vector<uint8_t>&) {
  return "JPEG bitmaps are not drawn yet";
}

}  // namespace player
