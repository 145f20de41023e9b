#pragma once
// Baseline JPEG (the movie format's DefineBits family) to premultiplied RGBA.
#include <cstdint>
#include <string>
#include <vector>

namespace player {

// The frame size, for the pixel caps before decoding. "" or a message.
std::string JpegSize(const std::vector<uint8_t>& jpeg, int& width, int& height);
std::string DecodeJpeg(const std::vector<uint8_t>& jpeg, int& width, int& height,
                       std::vector<uint8_t>& rgba);

}  // namespace player
