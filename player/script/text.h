// Characters of the format's strings: bytes up to version 5, UTF-8 code
// points from version 6 on (what the multi-byte actions always count).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace player::script {

inline std::size_t utf8_length(const std::string& s) {
  std::size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

inline std::size_t utf8_offset(const std::string& s, std::size_t chars) {
  std::size_t i = 0;
  while (i < s.size() && chars > 0) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --chars;
  }
  return i;
}

inline std::string utf8_encode(std::uint32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    if (c > 0xFFFF) c = 0xFFFD;
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

inline std::uint32_t utf8_first(const std::string& s) {
  if (s.empty()) return 0;
  const auto c0 = static_cast<unsigned char>(s[0]);
  if (c0 < 0x80 || s.size() < 2) return c0;
  const auto c1 = static_cast<unsigned char>(s[1]) & 0x3Fu;
  if (c0 < 0xE0) return (c0 & 0x1Fu) << 6 | c1;
  if (s.size() < 3) return c0;
  return (c0 & 0x0Fu) << 12 | c1 << 6 | (static_cast<unsigned char>(s[2]) & 0x3Fu);
}

// A string seen as characters, for the String methods.
class Chars {
 public:
  Chars(const std::string& s, bool utf8) : s_(s) {
    bool ascii = true;
    for (char c : s) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!utf8 || ascii) return;
    for (std::size_t i = 0; i < s.size(); ++i)
      if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts_.push_back(i);
    multibyte_ = true;
  }
  std::size_t size() const { return multibyte_ ? starts_.size() : s_.size(); }
  // The byte where character i starts (the end for i == size()).
  std::size_t byte(std::size_t i) const {
    if (!multibyte_) return i;
    return i < starts_.size() ? starts_[i] : s_.size();
  }
  // The character holding byte b.
  std::size_t at_byte(std::size_t b) const {
    if (!multibyte_) return b;
    std::size_t i = 0;
    while (i + 1 < starts_.size() && starts_[i + 1] <= b) ++i;
    return i;
  }
  std::string sub(std::size_t from, std::size_t to) const {
    return from < to ? s_.substr(byte(from), byte(to) - byte(from)) : std::string();
  }
  std::uint32_t code(std::size_t i) const {
    if (!multibyte_) return static_cast<unsigned char>(s_[i]);
    return utf8_first(s_.substr(byte(i), byte(i + 1) - byte(i)));
  }

 private:
  const std::string& s_;
  std::vector<std::size_t> starts_;
  bool multibyte_ = false;
};

}  // namespace player::script
