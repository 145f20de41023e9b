#pragma once
// Decode-only tables of explode.
#include <array>
#include <cstddef>
#include <cstdint>

#include "dcl_codes.h"

namespace ssi::dcl::explode_tables {

using namespace codes;

// ASCII literal codes are canonical and sent inverted, so the longest ones
// all begin with the same run of zero bits: every code over 8 bits starts
// with kLongPrefix zeros. Codes of up to 8 bits decode from the next 8
// stream bits (table `shortCodes`); a code that starts with the zero run
// decodes from the stream bits after the run (table `longCodes`, 1 KB). The
// two look-ups do not depend on each other, so both run at once, and the
// tables take 1.5 KB where one 13-bit table would take 16 KB.
constexpr unsigned kShortBits = 8;

constexpr unsigned LongPrefix() {
  unsigned zeros = kLiteralTableBits;
  for (size_t sym = 0; sym < 256; ++sym) {
    if (kLiteralCode.bits[sym] <= kShortBits) continue;
    unsigned z = 0;
    while (z < kLiteralCode.bits[sym] && (unsigned{kLiteralCode.stream[sym]} >> z & 1u) == 0) ++z;
    zeros = z < zeros ? z : zeros;
  }
  return zeros;
}
constexpr unsigned kLongPrefix = LongPrefix();
constexpr unsigned kLongBits = kLiteralTableBits - kLongPrefix;

struct LiteralTables {
  std::array<uint16_t, (1u << kShortBits)> shortCodes{};  // symbol | length << 8
  std::array<uint16_t, (1u << kLongBits)> longCodes{};
};

constexpr LiteralTables BuildLiteralTables() {
  LiteralTables t{};
  for (size_t sym = 0; sym < 256; ++sym) {
    const unsigned len = kLiteralCode.bits[sym];
    const unsigned code = kLiteralCode.stream[sym];
    const auto entry = static_cast<uint16_t>(sym | len << 8);
    if (len <= kShortBits) {
      for (unsigned hi = 0; hi < (1u << (kShortBits - len)); ++hi)
        t.shortCodes[code | hi << len] = entry;
    }
    if (len >= kLongPrefix && (code & ((1u << kLongPrefix) - 1)) == 0) {
      const unsigned restLen = len - kLongPrefix;
      for (unsigned hi = 0; hi < (1u << (kLongBits - restLen)); ++hi)
        t.longCodes[code >> kLongPrefix | hi << restLen] = entry;
    }
  }
  return t;
}
constexpr LiteralTables kLiteralTables = BuildLiteralTables();

// Every stream bit pattern must reach a code: no empty entry where it is used.
constexpr bool LiteralTablesComplete() {
  for (unsigned i = 0; i < kLiteralTables.shortCodes.size(); ++i) {
    if ((i & ((1u << kLongPrefix) - 1)) != 0 && kLiteralTables.shortCodes[i] == 0) return false;
  }
  for (uint16_t e : kLiteralTables.longCodes) {
    if (e == 0) return false;
  }
  return true;
}
static_assert(kLongPrefix >= 1 && kLongPrefix <= kShortBits, "long literal codes share a prefix");
static_assert(LiteralTablesComplete(), "literal tables must cover every bit pattern");

// The literal code's symbol and length (symbol | length << 8) at the start
// of bits, without a branch on the data (ASCII-mode binaries are full of
// long codes, text is not).
template <typename Word>
inline unsigned DecodeLiteral(Word bits) {
  const unsigned s = kLiteralTables.shortCodes[bits & ((1u << kShortBits) - 1)];
  const unsigned l = kLiteralTables.longCodes[(bits >> kLongPrefix) & ((1u << kLongBits) - 1)];
  return (bits & ((1u << kLongPrefix) - 1)) != 0 ? s : l;
}

// What the bits after a match's flag say, packed in one word: the length
// base, where its extra bits start and their mask, where the distance code
// starts, and how many low distance bits follow that code (2 after length
// 2, else the dictionary's count, so a table holds for one stream).
struct MatchHead {
  uint32_t packed;
  template <typename Word>
  unsigned Length(Word bits) const {
    return (packed & 0x3FFu) +
           static_cast<unsigned>((bits >> (packed >> 10 & 0xFu)) & (packed >> 14 & 0xFFu));
  }
  unsigned Used() const { return packed >> 22 & 0x1Fu; }  // flag, length code, extra bits
  unsigned LowBits() const { return packed >> 27; }
};

// Fills the 2^kLengthTableBits heads (indexed by the bits after the flag).
inline void BuildMatchHeads(MatchHead* heads, unsigned dictBits) {
  for (unsigned sym = 0; sym < 16; ++sym) {
    const unsigned len = kLengthCode.bits[sym];
    const unsigned extra = kLengthExtra[sym];
    const unsigned lowBits = kLengthBase[sym] == kMinLength ? 2 : dictBits;
    const uint32_t packed = kLengthBase[sym] | (1u + len) << 10 | ((1u << extra) - 1) << 14 |
                            (1u + len + extra) << 22 | lowBits << 27;
    for (unsigned hi = 0; hi < (1u << (kLengthTableBits - len)); ++hi)
      heads[kLengthCode.stream[sym] | hi << len] = MatchHead{packed};
  }
}

}  // namespace ssi::dcl::explode_tables
