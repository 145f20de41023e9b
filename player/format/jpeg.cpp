#include "jpeg.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace player {
namespace {

constexpr uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

struct HuffTable {
  bool defined = false;
  std::array<int32_t, 18> maxCode{};
  std::array<int32_t, 17> valPtr{};
  std::array<int32_t, 17> minCode{};
  std::array<uint8_t, 256> values{};
};

struct Component {
  int id = 0, h = 1, v = 1, tq = 0, td = 0, ta = 0;
  int dcPred = 0;
  int blocksW = 0, blocksH = 0;  // blocks across the padded image
  std::vector<uint8_t> pixels;   // blocksW * 8 by blocksH * 8
};

class Decoder {
 public:
  explicit Decoder(const std::vector<uint8_t>& data) : d_(data) {}
  std::string Run(bool sizeOnly);
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;

 private:
  uint8_t Byte() { return pos_ < d_.size() ? d_[pos_++] : 0; }
  int U16() { const int hi = Byte(); return hi << 8 | Byte(); }
  std::string Frame();
  std::string Scan();
  void Tables(size_t end);
  std::string Huffman(size_t end);
  int Bit();
  int Bits(int n);
  int Decode(const HuffTable& t);
  void Block(Component& c, int bx, int by);
  void ResetBits() { bitBuf_ = 0; bitCount_ = 0; }
  void Output();

  const std::vector<uint8_t>& d_;
  size_t pos_ = 0;
  std::array<std::array<uint16_t, 64>, 4> quant_{};
  std::array<HuffTable, 4> dc_{}, ac_{};
  std::vector<Component> comps_;
  int hmax_ = 1, vmax_ = 1, restart_ = 0;
  uint32_t bitBuf_ = 0;
  int bitCount_ = 0;
  bool frame_ = false, done_ = false;
};

int Decoder::Bit() {
  if (bitCount_ == 0) {
    uint8_t b = 0;
    if (pos_ < d_.size()) {
      b = d_[pos_];
      if (b == 0xff) {
        const uint8_t next = pos_ + 1 < d_.size() ? d_[pos_ + 1] : 0;
        if (next == 0) pos_ += 2;
        else b = 0;  // a marker: feed zeros, leave it for the scan loop
      } else {
        ++pos_;
      }
    }
    bitBuf_ = b;
    bitCount_ = 8;
  }
  --bitCount_;
  return static_cast<int>((bitBuf_ >> bitCount_) & 1u);
}

int Decoder::Bits(int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
  return v;
}

int Decoder::Decode(const HuffTable& t) {
  int32_t code = Bit();
  for (int len = 1; len <= 16; ++len) {
    if (code <= t.maxCode[static_cast<size_t>(len)])
      return t.values[static_cast<size_t>(t.valPtr[static_cast<size_t>(len)] + code -
                                          t.minCode[static_cast<size_t>(len)]) & 0xff];
    code = (code << 1) | Bit();
  }
  return 0;  // a damaged code: read as zero
}

int Extend(int v, int n) { return n == 0 ? 0 : v < (1 << (n - 1)) ? v - (1 << n) + 1 : v; }

void Decoder::Block(Component& c, int bx, int by) {
  std::array<float, 64> coef{};
  const auto& q = quant_[static_cast<size_t>(c.tq & 3)];
  const int s = Decode(dc_[static_cast<size_t>(c.td & 3)]) & 15;
  c.dcPred += Extend(Bits(s), s);
  coef[0] = static_cast<float>(c.dcPred * q[0]);
  for (int k = 1; k < 64;) {
    const int rs = Decode(ac_[static_cast<size_t>(c.ta & 3)]);
    const int r = rs >> 4, size = rs & 15;
    if (size == 0) {
      if (r != 15) break;
      k += 16;
      continue;
    }
    k += r;
    if (k > 63) break;
    coef[kZigzag[k]] = static_cast<float>(Extend(Bits(size), size) * q[static_cast<size_t>(k)]);
    ++k;
  }
  // Separable inverse DCT.
  static const std::array<float, 64> kCos = [] {
    std::array<float, 64> t{};
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u)
        t[static_cast<size_t>(x * 8 + u)] =
            static_cast<float>((u == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * x + 1) * u * 3.14159265358979323846 / 16) / 2);
    return t;
  }();
  std::array<float, 64> tmp{};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      float sum = 0;
      for (int u = 0; u < 8; ++u) sum += kCos[static_cast<size_t>(x * 8 + u)] * coef[static_cast<size_t>(y * 8 + u)];
      tmp[static_cast<size_t>(y * 8 + x)] = sum;
    }
  const size_t stride = static_cast<size_t>(c.blocksW) * 8;
  for (int x = 0; x < 8; ++x)
    for (int y = 0; y < 8; ++y) {
      float sum = 0;
      for (int v = 0; v < 8; ++v) sum += kCos[static_cast<size_t>(y * 8 + v)] * tmp[static_cast<size_t>(v * 8 + x)];
      const float value = std::round(sum + 128.0f);
      c.pixels[(static_cast<size_t>(by) * 8 + static_cast<size_t>(y)) * stride + static_cast<size_t>(bx) * 8 +
               static_cast<size_t>(x)] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
}

std::string Decoder::Huffman(size_t end) {
  while (pos_ < end) {
    const int info = Byte();
    std::array<uint8_t, 17> counts{};
    int total = 0;
    for (int i = 1; i <= 16; ++i) total += counts[static_cast<size_t>(i)] = Byte();
    if (total > 256) return "JPEG: bad Huffman table";
    HuffTable& t = (info >> 4) ? ac_[static_cast<size_t>(info & 3)] : dc_[static_cast<size_t>(info & 3)];
    t = HuffTable{};
    t.defined = true;
    for (int i = 0; i < total; ++i) t.values[static_cast<size_t>(i)] = Byte();
    int32_t code = 0, k = 0;
    for (size_t len = 1; len <= 16; ++len) {
      t.valPtr[len] = k;
      t.minCode[len] = code;
      code += counts[len];
      k += counts[len];
      t.maxCode[len] = counts[len] ? code - 1 : -1;
      code <<= 1;
    }
    t.maxCode[17] = INT32_MAX;
  }
  return "";
}

std::string Decoder::Frame() {
  const size_t start = pos_;
  const int length = U16();
  if (Byte() != 8) return "JPEG: only 8-bit samples are read";
  height = U16();
  width = U16();
  const int n = Byte();
  if (width <= 0 || height <= 0 || (n != 1 && n != 3)) return "JPEG: unsupported frame";
  comps_.assign(static_cast<size_t>(n), Component{});
  for (Component& c : comps_) {
    c.id = Byte();
    const int hv = Byte();
    c.h = std::max(1, std::min(4, hv >> 4));
    c.v = std::max(1, std::min(4, hv & 15));
    c.tq = Byte() & 3;
    hmax_ = std::max(hmax_, c.h);
    vmax_ = std::max(vmax_, c.v);
  }
  pos_ = start + static_cast<size_t>(length);
  const int mcusX = (width + 8 * hmax_ - 1) / (8 * hmax_), mcusY = (height + 8 * vmax_ - 1) / (8 * vmax_);
  for (Component& c : comps_) {
    c.blocksW = mcusX * c.h;
    c.blocksH = mcusY * c.v;
    c.pixels.assign(static_cast<size_t>(c.blocksW) * static_cast<size_t>(c.blocksH) * 64, 128);
  }
  frame_ = true;
  return "";
}

std::string Decoder::Scan() {
  const size_t start = pos_;
  const int length = U16();
  const int n = Byte();
  std::vector<Component*> scan;
  for (int i = 0; i < n; ++i) {
    const int id = Byte(), tables = Byte();
    for (Component& c : comps_)
      if (c.id == id) {
        c.td = tables >> 4;
        c.ta = tables & 15;
        scan.push_back(&c);
      }
  }
  pos_ = start + static_cast<size_t>(length);
  if (!frame_ || scan.empty()) return "JPEG: scan before its frame";
  const int mcuW = 8 * hmax_, mcuH = 8 * vmax_;
  const int mcusX = (width + mcuW - 1) / mcuW, mcusY = (height + mcuH - 1) / mcuH;
  for (Component* c : scan) c->dcPred = 0;
  ResetBits();
  int untilRestart = restart_;
  const bool single = scan.size() == 1;
  const int unitsX = single ? (width * scan[0]->h / hmax_ + 7) / 8 : mcusX;
  const int unitsY = single ? (height * scan[0]->v / vmax_ + 7) / 8 : mcusY;
  for (int my = 0; my < unitsY; ++my)
    for (int mx = 0; mx < unitsX; ++mx) {
      if (restart_ && untilRestart-- == 0) {
        // Past the restart marker: predictions start again.
        ResetBits();
        while (pos_ + 1 < d_.size() && !(d_[pos_] == 0xff && d_[pos_ + 1] >= 0xd0 && d_[pos_ + 1] <= 0xd7)) ++pos_;
        pos_ += 2;
        for (Component* c : scan) c->dcPred = 0;
        untilRestart = restart_ - 1;
      }
      if (single) {
        Block(*scan[0], mx, my);
        continue;
      }
      for (Component* c : scan)
        for (int y = 0; y < c->v; ++y)
          for (int x = 0; x < c->h; ++x) Block(*c, mx * c->h + x, my * c->v + y);
    }
  done_ = true;
  return "";
}

void Decoder::Output() {
  rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 255);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int sample[3] = {0, 0, 0};
      for (size_t i = 0; i < comps_.size(); ++i) {
        const Component& c = comps_[i];
        if (c.h == hmax_ && c.v == vmax_) {
          sample[i] = c.pixels[static_cast<size_t>(y) * static_cast<size_t>(c.blocksW) * 8 + static_cast<size_t>(x)];
          continue;
        }
        // Subsampled: bilinear between the samples' centres.
        const int cw = (width * c.h + hmax_ - 1) / hmax_, ch = (height * c.v + vmax_ - 1) / vmax_;
        const float fx = std::max(0.0f, (static_cast<float>(x) + 0.5f) * static_cast<float>(c.h) / static_cast<float>(hmax_) - 0.5f);
        const float fy = std::max(0.0f, (static_cast<float>(y) + 0.5f) * static_cast<float>(c.v) / static_cast<float>(vmax_) - 0.5f);
        const int x0 = std::min(static_cast<int>(fx), cw - 1), y0 = std::min(static_cast<int>(fy), ch - 1);
        const int x1 = std::min(x0 + 1, cw - 1), y1 = std::min(y0 + 1, ch - 1);
        const float ax = fx - static_cast<float>(x0), ay = fy - static_cast<float>(y0);
        const size_t stride = static_cast<size_t>(c.blocksW) * 8;
        auto at = [&](int px, int py) {
          return static_cast<float>(c.pixels[static_cast<size_t>(py) * stride + static_cast<size_t>(px)]);
        };
        const float top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * ax;
        const float bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * ax;
        sample[i] = static_cast<int>(std::lround(top + (bottom - top) * ay));
      }
      uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
      if (comps_.size() == 1) {
        p[0] = p[1] = p[2] = static_cast<uint8_t>(sample[0]);
        continue;
      }
      const float Y = static_cast<float>(sample[0]), cb = static_cast<float>(sample[1] - 128),
                  cr = static_cast<float>(sample[2] - 128);
      const float rgb[3] = {Y + 1.402f * cr, Y - 0.344136f * cb - 0.714136f * cr, Y + 1.772f * cb};
      for (int k = 0; k < 3; ++k)
        p[k] = static_cast<uint8_t>(rgb[k] < 0 ? 0 : rgb[k] > 255 ? 255 : std::lround(rgb[k]));
    }
}

void Decoder::Tables(size_t end) {
  while (pos_ < end) {
    const int info = Byte();
    auto& q = quant_[static_cast<size_t>(info & 3)];
    for (int i = 0; i < 64; ++i) q[static_cast<size_t>(i)] = static_cast<uint16_t>((info >> 4) ? U16() : Byte());
  }
}

std::string Decoder::Run(bool sizeOnly) {
  while (pos_ + 1 < d_.size()) {
    if (d_[pos_] != 0xff) {
      ++pos_;
      continue;
    }
    const uint8_t marker = d_[pos_ + 1];
    pos_ += 2;
    if (marker == 0x00 || marker == 0xd8 || marker == 0xd9 || marker == 0xff || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
      if (marker == 0xff) --pos_;
      continue;  // SOI and EOI may repeat: the format glues tables and image
    }
    if (pos_ + 2 > d_.size()) break;
    const size_t length = static_cast<size_t>(d_[pos_] << 8 | d_[pos_ + 1]);
    const size_t end = std::min(d_.size(), pos_ + length);
    std::string error;
    switch (marker) {
      case 0xc0:
      case 0xc1:
        error = Frame();
        if (error.empty() && sizeOnly) return "";
        break;
      case 0xc2:
      case 0xc3:
      case 0xc5: case 0xc6: case 0xc7: case 0xc9: case 0xca: case 0xcb: case 0xcd: case 0xce: case 0xcf:
        return "JPEG: only baseline images are read (this one is progressive or lossless)";
      case 0xc4:
        pos_ += 2;
        error = Huffman(end);
        break;
      case 0xdb:
        pos_ += 2;
        Tables(end);
        break;
      case 0xdd:
        pos_ += 2;
        restart_ = U16();
        break;
      case 0xda:
        if (sizeOnly) return "JPEG: no frame header";
        error = Scan();
        break;
      default:
        break;
    }
    if (!error.empty()) return error;
    if (marker != 0xda) pos_ = end;
  }
  if (!done_) return "JPEG: no image data";
  Output();
  return "";
}

}  // namespace

std::string JpegSize(const std::vector<uint8_t>& jpeg, int& width, int& height) {
  Decoder d(jpeg);
  std::string error = d.Run(true);
  width = d.width;
  height = d.height;
  return error;
}

std::string DecodeJpeg(const std::vector<uint8_t>& jpeg, int& width, int& height, std::vector<uint8_t>& rgba) {
  Decoder d(jpeg);
  std::string error = d.Run(false);
  if (!error.empty()) return error;
  width = d.width;
  height = d.height;
  rgba = std::move(d.rgba);
  return "";
}

}  // namespace player
