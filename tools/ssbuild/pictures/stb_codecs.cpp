// Built without our warnings and without the undefined-behaviour sanitizer
// (CMakeLists.txt): the library's own integer tricks are not ours to fix.
#include "stb_codecs.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"
#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include "stb_image_resize.h"

namespace ssbuild {

namespace {

// The PNG decoder grows its buffer for the compressed pixels to what each
// chunk's length field claims before it reads the chunk, so a damaged file of
// a few hundred bytes could have the builder ask for gigabytes. Every chunk
// must lie inside the file before the decoder sees it.
bool PngChunksFit(const uint8_t* bytes, size_t size, std::string& why) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8 || !std::equal(kSignature, kSignature + 8, bytes)) return true;  // not PNG
  for (size_t at = 8; size - at >= 8;) {
    const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                            uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    const bool end = std::equal(bytes + at + 4, bytes + at + 8, "IEND");
    if (length > size - at - 8 || size - at - 8 - length < 4) {
      why = "a chunk runs past the end of the file";
      return false;
    }
    if (end) return true;
    at += 12 + size_t{length};
  }
  return true;  // no IEND: the decoder says what is missing
}

}  // namespace

bool StbInfo(const uint8_t* bytes, size_t size, int& width, int& height, std::string& why) {
  int channels = 0;
  if (size > INT_MAX) size = INT_MAX;  // a header is at the start
  if (!stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &channels)) {
    why = stbi_failure_reason() ? stbi_failure_reason() : "cannot decode";
    return false;
  }
  // stb_image takes a bitmap header of zero rows; scaling it would divide by
  // its height.
  if (width <= 0 || height <= 0) {
    why = "no pixels";
    return false;
  }
  return true;
}

bool StbDecodes(const uint8_t* bytes, size_t size, std::string& why) {
  if (!PngChunksFit(bytes, size, why)) return false;
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = size > INT_MAX ? nullptr
                                   : stbi_load_from_memory(bytes, static_cast<int>(size), &width,
                                                           &height, &channels, 0);
  if (!pixels) {
    why = size > INT_MAX          ? "larger than 2 GiB"
          : stbi_failure_reason() ? stbi_failure_reason()
                                  : "cannot decode";
    return false;
  }
  stbi_image_free(pixels);
  return true;
}

bool StbDecodeRgba(const uint8_t* bytes, size_t size, int& width, int& height,
                   std::vector<uint8_t>& rgba, std::string& why) {
  if (size > INT_MAX) {
    why = "larger than 2 GiB";
    return false;
  }
  if (!PngChunksFit(bytes, size, why)) return false;
  int channels = 0;
  stbi_uc* pixels =
      stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 4);
  if (!pixels) {
    why = stbi_failure_reason() ? stbi_failure_reason() : "cannot decode";
    return false;
  }
  const bool empty = width <= 0 || height <= 0;
  if (!empty)
    rgba.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  stbi_image_free(pixels);
  if (empty) why = "no pixels";
  return !empty;
}

bool StbResizeRgb(const std::vector<uint8_t>& rgb, int width, int height, int toWidth, int toHeight,
                  std::vector<uint8_t>& out) {
  out.assign(static_cast<size_t>(toWidth) * static_cast<size_t>(toHeight) * 3, 0);
  return stbir_resize_uint8(rgb.data(), width, height, 0, out.data(), toWidth, toHeight, 0, 3) != 0;
}

}  // namespace ssbuild
