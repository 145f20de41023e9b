#include "inflate.h"

#include <array>

namespace player {
namespace {

struct Huffman {
  std::array<uint16_t, 16> count{};
  std::array<uint16_t, 320> symbol{};
};

class BitIn {
 public:
  BitIn(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // Returns false past the end; the caller reports the truncation.
  bool Bits(int n, uint32_t& value) {
    while (have_ < n) {
      if (pos_ >= size_) return false;
      buffer_ |= static_cast<uint32_t>(data_[pos_++]) << have_;
      have_ += 8;
    }
    value = buffer_ & ((1u << n) - 1u);
    buffer_ = n == 32 ? 0 : buffer_ >> n;
    have_ -= n;
    return true;
  }
  void AlignToByte() { buffer_ = 0; have_ = 0; }
  size_t pos() const { return pos_; }
  void Skip(size_t n) { pos_ += n; }
  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint32_t buffer_ = 0;
  int have_ = 0;
};

// Canonical code from lengths; false when the lengths over-subscribe.
bool Build(Huffman& h, const uint8_t* lengths, int n) {
  h.count.fill(0);
  for (int i = 0; i < n; ++i) h.count[lengths[i]]++;
  h.count[0] = 0;
  int left = 1;
  for (int len = 1; len < 16; ++len) {
    left <<= 1;
    left -= h.count[static_cast<size_t>(len)];
    if (left < 0) return false;
  }
  std::array<uint16_t, 16> offs{};
  for (size_t len = 1; len < 15; ++len) offs[len + 1] = static_cast<uint16_t>(offs[len] + h.count[len]);
  for (int i = 0; i < n; ++i)
    if (lengths[i] != 0) h.symbol[offs[lengths[i]]++] = static_cast<uint16_t>(i);
  return true;
}

int Decode(BitIn& in, const Huffman& h) {
  int code = 0, first = 0, index = 0;
  for (size_t len = 1; len < 16; ++len) {
    uint32_t bit;
    if (!in.Bits(1, bit)) return -1;
    code |= static_cast<int>(bit);
    const int count = h.count[len];
    if (code - count < first) return h.symbol[static_cast<size_t>(index + (code - first))];
    index += count;
    first += count;
    first <<= 1;
    code <<= 1;
  }
  return -2;
}

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                    33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

const char* Codes(BitIn& in, const Huffman& lit, const Huffman& dist, size_t start, size_t limit,
                  std::vector<uint8_t>& out) {
  for (;;) {
    int sym = Decode(in, lit);
    if (sym < 0) return sym == -1 ? "cut short" : "bad code";
    if (sym < 256) {
      if (out.size() >= limit) return "too large";
      out.push_back(static_cast<uint8_t>(sym));
      continue;
    }
    if (sym == 256) return nullptr;
    sym -= 257;
    if (sym >= 29) return "bad length code";
    uint32_t extra;
    if (!in.Bits(kLengthExtra[sym], extra)) return "cut short";
    const size_t len = kLengthBase[sym] + extra;
    const int dsym = Decode(in, dist);
    if (dsym < 0) return dsym == -1 ? "cut short" : "bad code";
    if (dsym >= 30) return "bad distance code";
    if (!in.Bits(kDistExtra[dsym], extra)) return "cut short";
    const size_t distance = kDistBase[dsym] + extra;
    if (distance > out.size() - start) return "distance too far back";
    if (out.size() + len > limit) return "too large";
    for (size_t i = 0; i < len; ++i) out.push_back(out[out.size() - distance]);
  }
}

const char* Fixed(BitIn& in, size_t start, size_t limit, std::vector<uint8_t>& out) {
  uint8_t lengths[320];
  int i = 0;
  for (; i < 144; ++i) lengths[i] = 8;
  for (; i < 256; ++i) lengths[i] = 9;
  for (; i < 280; ++i) lengths[i] = 7;
  for (; i < 288; ++i) lengths[i] = 8;
  Huffman lit, dist;
  Build(lit, lengths, 288);
  for (i = 0; i < 30; ++i) lengths[i] = 5;
  Build(dist, lengths, 30);
  return Codes(in, lit, dist, start, limit, out);
}

const char* Dynamic(BitIn& in, size_t start, size_t limit, std::vector<uint8_t>& out) {
  static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  uint32_t nlen, ndist, ncode;
  if (!in.Bits(5, nlen) || !in.Bits(5, ndist) || !in.Bits(4, ncode)) return "cut short";
  nlen += 257;
  ndist += 1;
  ncode += 4;
  if (nlen > 286 || ndist > 30) return "bad counts";
  uint8_t lengths[320] = {};
  for (uint32_t i = 0; i < ncode; ++i) {
    uint32_t v;
    if (!in.Bits(3, v)) return "cut short";
    lengths[kOrder[i]] = static_cast<uint8_t>(v);
  }
  Huffman lencode;
  if (!Build(lencode, lengths, 19)) return "bad code lengths";
  uint32_t index = 0;
  uint8_t all[320] = {};
  while (index < nlen + ndist) {
    int sym = Decode(in, lencode);
    if (sym < 0) return sym == -1 ? "cut short" : "bad code";
    if (sym < 16) {
      all[index++] = static_cast<uint8_t>(sym);
      continue;
    }
    uint8_t value = 0;
    uint32_t repeat;
    if (sym == 16) {
      if (index == 0) return "repeat with no previous length";
      value = all[index - 1];
      if (!in.Bits(2, repeat)) return "cut short";
      repeat += 3;
    } else if (sym == 17) {
      if (!in.Bits(3, repeat)) return "cut short";
      repeat += 3;
    } else {
      if (!in.Bits(7, repeat)) return "cut short";
      repeat += 11;
    }
    if (index + repeat > nlen + ndist) return "too many lengths";
    while (repeat--) all[index++] = value;
  }
  if (all[256] == 0) return "no end-of-block code";
  Huffman lit, dist;
  if (!Build(lit, all, static_cast<int>(nlen))) return "bad literal lengths";
  if (!Build(dist, all + nlen, static_cast<int>(ndist))) return "bad distance lengths";
  return Codes(in, lit, dist, start, limit, out);
}

}  // namespace

std::string Inflate(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out) {
  if (size < 2) return "zlib stream cut short";
  if ((data[0] & 0x0f) != 8 || ((data[0] << 8) | data[1]) % 31 != 0) return "not a zlib stream";
  if (data[1] & 0x20) return "zlib stream asks for a preset dictionary";
  BitIn in(data + 2, size - 2);
  const size_t start = out.size();
  for (;;) {
    uint32_t last, type;
    if (!in.Bits(1, last) || !in.Bits(2, type)) return "deflate data cut short";
    const char* error = nullptr;
    if (type == 0) {
      in.AlignToByte();
      if (in.pos() + 4 > in.size()) return "deflate data cut short";
      const uint8_t* p = in.data() + in.pos();
      const size_t len = static_cast<size_t>(p[0] | (p[1] << 8));
      const size_t nlen = static_cast<size_t>(p[2] | (p[3] << 8));
      if (len != (~nlen & 0xffff)) return "deflate stored block length mismatch";
      in.Skip(4);
      if (in.pos() + len > in.size()) return "deflate data cut short";
      if (out.size() + len > limit) error = "too large";
      else out.insert(out.end(), in.data() + in.pos(), in.data() + in.pos() + len);
      in.Skip(len);
    } else if (type == 1) {
      error = Fixed(in, start, limit, out);
    } else if (type == 2) {
      error = Dynamic(in, start, limit, out);
    } else {
      error = "bad block type";
    }
    if (error) {
      if (std::string(error) == "too large")
        return "inflated data exceeds the cap of " + std::to_string(limit) + " bytes";
      return std::string("deflate data: ") + error;
    }
    if (last) return "";
  }
}

}  // namespace player
