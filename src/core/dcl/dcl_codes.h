#pragma once
// The fixed codes of the DCL compressed format, shared by explode and implode.
//
// Stream layout: byte 0 is the literal mode (0 binary, 1 ASCII), byte 1 the
// dictionary size as a bit count (4, 5, 6 for 1024, 2048, 4096 bytes). Then a
// bit stream, read from the least significant bit of each byte up:
//   flag 0: a literal; 8 plain bits (binary) or a literal code (ASCII).
//   flag 1: a length code, its extra bits (length = base + extra value), then
//           a distance code giving the distance's high 6 bits, then its low
//           bits: 2 of them when the length is 2, else the dictionary's count.
//           distance = (high << low count) + low + 1.
//   Length 519 (the last length code with all extra bits set) ends the stream.
// The three prefix codes are canonical codes (shorter codes first, symbols in
// order within a length) whose bits are sent inverted, first bit first.
#include <array>
#include <cstddef>
#include <cstdint>

namespace ssi::dcl::codes {

// Code lengths in the run form in which the format is usually published:
// low nibble = bit length, high nibble = repeat count - 1.
inline constexpr uint8_t kLiteralRuns[] = {
    11, 124, 8,   7,   28,  7,   188, 13, 76, 4,  10, 8,  12, 10, 12, 10, 8,  23, 8,  9,
    7,  6,   7,   8,   7,   6,   55,  8,  23, 24, 12, 11, 7,  9,  11, 12, 6,  7,  22, 5,
    7,  24,  6,   11,  9,   6,   7,   22, 7,  11, 38, 7,  9,  8,  25, 11, 8,  11, 9,  12,
    8,  12,  5,   38,  5,   38,  5,   11, 7,  5,  6,  21, 6,  10, 53, 8,  7,  24, 10, 27,
    44, 253, 253, 253, 252, 252, 252, 13, 12, 45, 12, 45, 12, 61, 12, 45, 44, 173};
inline constexpr uint8_t kLengthRuns[] = {2, 35, 36, 53, 38, 23};
inline constexpr uint8_t kDistanceRuns[] = {2, 20, 53, 230, 247, 151, 248};

inline constexpr uint16_t kLengthBase[16] = {3,  2,  4,  5,  6,  7,  8,   9,
                                             10, 12, 16, 24, 40, 72, 136, 264};
inline constexpr uint8_t kLengthExtra[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

inline constexpr unsigned kMinLength = 2;
inline constexpr unsigned kMaxLength = 518;
inline constexpr unsigned kEndLength = 519;  // the end-of-stream code
inline constexpr unsigned kMaxLength2Distance = 256;
inline constexpr unsigned kMaxDictBits = 6;
inline constexpr unsigned kMaxDictSize = 4096;

template <size_t N>
struct Code {
  std::array<uint8_t, N> bits{};     // code length of each symbol
  std::array<uint16_t, N> stream{};  // the code as it lies in the stream, first bit lowest
};

template <size_t N, size_t R>
constexpr Code<N> BuildCode(const uint8_t (&runs)[R]) {
  Code<N> c{};
  size_t n = 0;
  for (size_t r = 0; r < R; ++r) {
    for (unsigned k = 0; k <= (runs[r] >> 4u); ++k)
      c.bits[n++] = static_cast<uint8_t>(runs[r] & 15u);
  }
  unsigned next = 0;
  for (unsigned len = 1; len <= 15; ++len) {
    for (size_t s = 0; s < N; ++s) {
      if (c.bits[s] != len) continue;
      const unsigned sent = ~next++;  // bits go out inverted, most significant first
      unsigned reversed = 0;
      for (unsigned b = 0; b < len; ++b) reversed |= ((sent >> (len - 1 - b)) & 1u) << b;
      c.stream[s] = static_cast<uint16_t>(reversed);
    }
    next <<= 1;
  }
  return c;
}

// Sum of 2^(15 - length) over all symbols: 2^15 exactly for a complete code.
template <size_t N>
constexpr unsigned KraftSum(const Code<N>& c) {
  unsigned sum = 0;
  for (size_t s = 0; s < N; ++s) sum += c.bits[s] ? 1u << (15u - c.bits[s]) : 1u << 16u;
  return sum;
}

// A table indexed by the next K stream bits: symbol in the low byte, code
// length in the high byte. Every entry is filled because the codes are complete.
template <unsigned K, size_t N>
constexpr std::array<uint16_t, (size_t{1} << K)> BuildDecodeTable(const Code<N>& c) {
  std::array<uint16_t, (size_t{1} << K)> t{};
  for (size_t s = 0; s < N; ++s) {
    for (size_t hi = 0; hi < (size_t{1} << (K - c.bits[s])); ++hi) {
      t[c.stream[s] | (hi << c.bits[s])] = static_cast<uint16_t>(s | (size_t{c.bits[s]} << 8u));
    }
  }
  return t;
}

inline constexpr Code<256> kLiteralCode = BuildCode<256>(kLiteralRuns);
inline constexpr Code<16> kLengthCode = BuildCode<16>(kLengthRuns);
inline constexpr Code<64> kDistanceCode = BuildCode<64>(kDistanceRuns);
static_assert(KraftSum(kLiteralCode) == 1u << 15, "literal code must be complete");
static_assert(KraftSum(kLengthCode) == 1u << 15, "length code must be complete");
static_assert(KraftSum(kDistanceCode) == 1u << 15, "distance code must be complete");

inline constexpr unsigned kLiteralTableBits = 13;  // longest literal code
inline constexpr unsigned kLengthTableBits = 7;
inline constexpr unsigned kDistanceTableBits = 8;

// Length code symbol for each length 0..519 (entries below 2 unused).
constexpr std::array<uint8_t, kEndLength + 1> BuildLengthSymbols() {
  std::array<uint8_t, kEndLength + 1> t{};
  for (unsigned s = 0; s < 16; ++s) {
    for (unsigned v = 0; v < (1u << kLengthExtra[s]); ++v)
      t[kLengthBase[s] + v] = static_cast<uint8_t>(s);
  }
  return t;
}
inline constexpr std::array<uint8_t, kEndLength + 1> kLengthSymbol = BuildLengthSymbols();

}  // namespace ssi::dcl::codes
