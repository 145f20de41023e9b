#include <algorithm>
#include <string>

#include "define_readers.h"
#include "inflate.h"
#include "jpeg.h"

namespace player {
namespace {

std::string CheckSize(int width, int height, int64_t& budget) {
  const int64_t pixels = static_cast<int64_t>(width) * height;
  if (pixels > kMaxBitmapPixels)
    return "bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels exceeds the cap of " + std::to_string(kMaxBitmapPixels) + " pixels";
  if (pixels > budget)
    return "bitmaps exceed the cap of " + std::to_string(kMaxTotalBitmapPixels) + " pixels in all";
  budget -= pixels;
  return "";
}

uint8_t Premultiply(uint8_t c, uint8_t a) { return static_cast<uint8_t>((c * a + 127) / 255); }

}  // namespace

std::string ReadLossless(BitReader& in, int version, BitmapDef& out, int64_t& budget) {
  const uint8_t format = in.U8();
  out.width = in.U16();
  out.height = in.U16();
  const int tableSize = format == 3 ? in.U8() + 1 : 0;
  if (in.failed()) return "lossless bitmap header cut short";
  std::string error = CheckSize(out.width, out.height, budget);
  if (!error.empty()) return error;
  const size_t w = static_cast<size_t>(out.width), h = static_cast<size_t>(out.height);
  const size_t colorBytes = version == 2 ? 4 : 3;
  size_t rowBytes = 0, head = 0;
  if (format == 3) {
    rowBytes = (w + 3) & ~size_t{3};
    head = static_cast<size_t>(tableSize) * colorBytes;
  } else if (format == 4) {
    rowBytes = (w * 2 + 3) & ~size_t{3};
  } else if (format == 5) {
    rowBytes = w * 4;
  } else {
    return "lossless bitmap of unknown format " + std::to_string(format);
  }
  std::vector<uint8_t> raw;
  const size_t need = head + rowBytes * h;
  Inflate(in.here(), in.left(), need, raw);  // a short stream leaves the rest transparent
  raw.resize(need, 0);
  out.rgba.assign(w * h * 4, 0);
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* row = raw.data() + head + y * rowBytes;
    for (size_t x = 0; x < w; ++x) {
      uint8_t* px = &out.rgba[(y * w + x) * 4];
      uint8_t r, g, b, a = 255;
      if (format == 3) {
        const uint8_t* c = raw.data() + static_cast<size_t>(row[x]) * colorBytes;
        if (row[x] >= tableSize) { r = g = b = a = 0; }
        else { r = c[0]; g = c[1]; b = c[2]; if (version == 2) a = c[3]; }
        if (version == 2) { r = Premultiply(r, a); g = Premultiply(g, a); b = Premultiply(b, a); }
      } else if (format == 4) {
        const unsigned v = static_cast<unsigned>(row[x * 2] << 8 | row[x * 2 + 1]);
        r = static_cast<uint8_t>(((v >> 10) & 31) * 255 / 31);
        g = static_cast<uint8_t>(((v >> 5) & 31) * 255 / 31);
        b = static_cast<uint8_t>((v & 31) * 255 / 31);
      } else {
        const uint8_t* c = row + x * 4;
        a = version == 2 ? c[0] : 255;
        // Stored premultiplied already; a colour above its alpha is clamped.
        r = std::min(c[1], a);
        g = std::min(c[2], a);
        b = std::min(c[3], a);
      }
      px[0] = r; px[1] = g; px[2] = b; px[3] = a;
    }
  }
  return "";
}

std::string ReadJpegBitmap(BitReader& in, int tagCode, const std::vector<uint8_t>& tables,
                           BitmapDef& out, int64_t& budget) {
  size_t alphaOffset = in.left();
  if (tagCode == 35 || tagCode == 90) {
    alphaOffset = in.U32();
    if (tagCode == 90) in.U16();  // deblocking
  }
  const uint8_t* data = in.here();
  const size_t size = in.left();
  if (alphaOffset > size) return "JPEG data longer than its tag";
  std::vector<uint8_t> jpeg;
  if (tagCode == 6 && !tables.empty()) jpeg = tables;
  jpeg.insert(jpeg.end(), data, data + alphaOffset);
  int width = 0, height = 0;
  std::string error = JpegSize(jpeg, width, height);
  if (!error.empty()) return error;
  error = CheckSize(width, height, budget);
  if (!error.empty()) return error;
  error = DecodeJpeg(jpeg, out.width, out.height, out.rgba);
  if (!error.empty()) return error;
  if (alphaOffset < size) {
    std::vector<uint8_t> alpha;
    const size_t pixels = static_cast<size_t>(out.width) * static_cast<size_t>(out.height);
    Inflate(data + alphaOffset, size - alphaOffset, pixels, alpha);
    alpha.resize(pixels, 255);
    for (size_t i = 0; i < pixels; ++i) {
      uint8_t* px = &out.rgba[i * 4];
      px[0] = Premultiply(px[0], alpha[i]);
      px[1] = Premultiply(px[1], alpha[i]);
      px[2] = Premultiply(px[2], alpha[i]);
      px[3] = alpha[i];
    }
  }
  return "";
}

}  // namespace player
