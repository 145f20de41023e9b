#pragma once
// Little-endian bytes and the format's big-endian bit fields over one tag's
// bytes. Reading past the end never touches memory beyond the tag: it yields
// zeros and marks the reader failed, which the tag's parser reports once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace player {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool failed() const { return failed_; }
  void Fail() { failed_ = true; pos_ = size_; }
  size_t pos() const { return pos_; }
  size_t size() const { return size_; }
  size_t left() const { return pos_ < size_ ? size_ - pos_ : 0; }
  const uint8_t* here() const { return data_ + (pos_ < size_ ? pos_ : size_); }
  bool AtEnd() const { return pos_ >= size_; }

  void Align() { bitCount_ = 0; }
  void Skip(size_t n) {
    Align();
    if (n > left()) { failed_ = true; pos_ = size_; return; }
    pos_ += n;
  }

  uint8_t U8() {
    Align();
    if (pos_ >= size_) { failed_ = true; return 0; }
    return data_[pos_++];
  }
  uint16_t U16() { const uint16_t lo = U8(); return static_cast<uint16_t>(lo | (U8() << 8)); }
  uint32_t U32() { const uint32_t lo = U16(); return lo | (static_cast<uint32_t>(U16()) << 16); }
  int16_t S16() { return static_cast<int16_t>(U16()); }
  int32_t S32() { return static_cast<int32_t>(U32()); }
  double Fixed8() { return S16() / 256.0; }
  double Fixed16() { return static_cast<double>(S32()) / 65536.0; }
  float Float32() {
    const uint32_t bits = U32();
    float f;
    static_assert(sizeof f == sizeof bits, "IEEE single");
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  uint32_t EncodedU32() {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
      const uint32_t b = U8();
      value |= (b & 0x7f) << (7 * i);
      if (!(b & 0x80)) break;
    }
    return value;
  }
  // A NUL-terminated string; the bytes as stored (ANSI or UTF-8 by version).
  std::string String() {
    Align();
    std::string s;
    while (pos_ < size_ && data_[pos_] != 0) s.push_back(static_cast<char>(data_[pos_++]));
    if (pos_ >= size_) failed_ = true; else ++pos_;
    return s;
  }

  uint32_t UBits(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
      if (bitCount_ == 0) {
        if (pos_ >= size_) { failed_ = true; return 0; }
        bits_ = data_[pos_++];
        bitCount_ = 8;
      }
      --bitCount_;
      value = (value << 1) | ((static_cast<uint32_t>(bits_) >> bitCount_) & 1u);
    }
    return value;
  }
  int32_t SBits(int n) {
    if (n == 0) return 0;
    const uint32_t v = UBits(n);
    if (n < 32 && (v & (1u << (n - 1)))) return static_cast<int32_t>(v | ~((1u << n) - 1u));
    return static_cast<int32_t>(v);
  }
  double FBits(int n) { return static_cast<double>(SBits(n)) / 65536.0; }
  bool Flag() { return UBits(1) != 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint8_t bits_ = 0;
  int bitCount_ = 0;
  bool failed_ = false;
};

}  // namespace player
