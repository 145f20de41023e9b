#pragma once
// The picture decoder and resampler the builder uses: stb_image and
// stb_image_resize (Debian libstb-dev), built in their own file with PNG,
// JPEG, GIF (first frame) and BMP only, from memory only. Bytes in, bytes out.
#include <cstdint>
#include <string>
#include <vector>

namespace ssbuild {

// The largest width or height taken; larger pictures are refused unread.
constexpr int kMaxPictureSide = 16384;

// The picture's size from its header; false, with the decoder's reason, when
// it is none of the four formats or its header is damaged.
bool StbInfo(const uint8_t* bytes, size_t size, int& width, int& height, std::string& why);

// Decodes to 8-bit RGBA, rows top to bottom.
bool StbDecodeRgba(const uint8_t* bytes, size_t size, int& width, int& height,
                   std::vector<uint8_t>& rgba, std::string& why);

// Decodes and lets the pixels go: whether the picture can be shown, at the
// least memory (its own channels, no copy).
bool StbDecodes(const uint8_t* bytes, size_t size, std::string& why);

// Resamples packed RGB (3 bytes a pixel) to `toWidth` x `toHeight`.
bool StbResizeRgb(const std::vector<uint8_t>& rgb, int width, int height, int toWidth, int toHeight,
                  std::vector<uint8_t>& out);

}  // namespace ssbuild
