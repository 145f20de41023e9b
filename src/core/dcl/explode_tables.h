#pragma once
// Decode-only tables of explode.
#include <array>
#include <cstddef>
#include <cstdint>

#include "dcl_codes.h"

// The decode loop's small helpers are inlined even in a build for size
// (impborl.dll): as calls they would pass the bit reader through memory.
#ifdef __OPTIMIZE_SIZE__
#define SSI_DCL_INLINE inline __attribute__((always_inline))
#else
#define SSI_DCL_INLINE inline
#endif

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
  std::array<uint16_t, (1u << kShortBits)> shortCodes{};  // symbol << 8 | length + 1
  std::array<uint16_t, (1u << kLongBits)> longCodes{};
};

constexpr LiteralTables BuildLiteralTables() {
  LiteralTables t{};
  for (size_t sym = 0; sym < 256; ++sym) {
    const unsigned len = kLiteralCode.bits[sym];
    const unsigned code = kLiteralCode.stream[sym];
    const auto entry = static_cast<uint16_t>(sym << 8 | (len + 1));
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

// The literal whose flag (0) is the first of bits, without a branch on the
// data (ASCII-mode binaries are full of long codes, text is not): its
// symbol << 8 | the bits it takes with its flag. The bits come low so that a
// shift by the entry takes them: x86 shifts by the count's low bits alone.
template <typename Word>
SSI_DCL_INLINE unsigned DecodeLiteral(Word bits) {
  // The short entry's byte offset is the 8 code bits times 2: the bits as
  // they stand, the flag masked off, with no shift before the load.
  const unsigned offset = static_cast<unsigned>(bits) & (((1u << kShortBits) - 1) << 1);
  const unsigned s = *reinterpret_cast<const uint16_t*>(
      reinterpret_cast<const unsigned char*>(kLiteralTables.shortCodes.data()) + offset);
  const unsigned l =
      kLiteralTables.longCodes[(bits >> (1 + kLongPrefix)) & ((1u << kLongBits) - 1)];
  return (bits & (((1u << kLongPrefix) - 1) << 1)) != 0 ? s : l;
}

// What the bits after a match's flag say, a byte a field so that no field
// costs a shift: the length base, where its extra bits start and their mask,
// where the distance code starts, where the low distance bits that follow
// that code would end if the code took no bits (2 low bits after length 2,
// else the dictionary's count: the tables hold for one stream), their mask
// and which distance table goes with them.
struct MatchHead {
  uint16_t base;
  uint8_t extraAt;
  uint8_t extraMask;
  uint8_t used;  // flag, length code and extra bits
  uint8_t lowEnd;  // used and the low bits: one add from the bits a match takes
  uint8_t lowMask;
  uint8_t table;  // 0: 2 low bits, 1: the dictionary's
};

// Per next 8 bits after the length: the distance code's length (bits 12-15)
// and the distance less its low bits, plus 1 (bits 0-11).
using DistanceTable = uint16_t[1u << kDistanceTableBits];

struct MatchTables {
  MatchHead heads[1u << kLengthTableBits];  // indexed by the bits after the flag
  DistanceTable distances[2];
};

inline void BuildMatchTables(MatchTables& t, unsigned dictBits) {
  for (unsigned sym = 0; sym < 16; ++sym) {
    const unsigned len = kLengthCode.bits[sym];
    const unsigned extra = kLengthExtra[sym];
    const bool two = kLengthBase[sym] == kMinLength;
    const unsigned lowBits = two ? 2 : dictBits;
    const MatchHead head = {kLengthBase[sym],
                            static_cast<uint8_t>(1 + len),
                            static_cast<uint8_t>((1u << extra) - 1),
                            static_cast<uint8_t>(1 + len + extra),
                            static_cast<uint8_t>(1 + len + extra + lowBits),
                            static_cast<uint8_t>((1u << lowBits) - 1),
                            static_cast<uint8_t>(two ? 0 : 1)};
    for (unsigned hi = 0; hi < (1u << (kLengthTableBits - len)); ++hi)
      t.heads[kLengthCode.stream[sym] | hi << len] = head;
  }
  for (unsigned table = 0; table < 2; ++table) {
    const unsigned lowBits = table == 0 ? 2 : dictBits;
    for (unsigned high = 0; high < 64; ++high) {
      const unsigned len = kDistanceCode.bits[high];
      const auto entry = static_cast<uint16_t>(((high << lowBits) + 1) | len << 12);
      for (unsigned hi = 0; hi < (1u << (kDistanceTableBits - len)); ++hi)
        t.distances[table][kDistanceCode.stream[high] | hi << len] = entry;
    }
  }
}

}  // namespace ssi::dcl::explode_tables
