// Little-endian reads from an action's payload that never pass its end: a
// read beyond it yields zero and clears ok().
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace player::script {

class ActionReader {
 public:
  ActionReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  std::size_t pos() const { return pos_; }
  bool at_end() const { return pos_ >= size_; }

  std::uint8_t u8() {
    if (pos_ + 1 > size_) return fail<std::uint8_t>();
    return data_[pos_++];
  }
  std::uint16_t u16() {
    if (pos_ + 2 > size_) return fail<std::uint16_t>();
    const auto v = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  std::uint32_t u32() {
    if (pos_ + 4 > size_) return fail<std::uint32_t>();
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | data_[pos_ + static_cast<std::size_t>(i)];
    pos_ += 4;
    return v;
  }
  float f32() {
    const std::uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  // The format's double: the high 32-bit word first, each word little-endian.
  double f64() {
    const std::uint64_t high = u32();
    const std::uint64_t low = u32();
    const std::uint64_t bits = high << 32 | low;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  // A NUL-terminated string; one that runs off the end is cut there.
  std::string string() {
    const std::size_t start = pos_;
    while (pos_ < size_ && data_[pos_] != 0) ++pos_;
    std::string s(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    if (pos_ < size_) ++pos_;
    else ok_ = false;
    return s;
  }

 private:
  template <typename T> T fail() {
    ok_ = false;
    pos_ = size_;
    return T{};
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace player::script
