// explode: decodes a DCL stream (format in dcl_codes.h).
//
// The input may be hostile. Every code indexes a complete table, every
// distance is checked against the output produced so far, and the bit reader
// never touches a byte the read callback did not deliver: once the input has
// ended it shifts in zero bits and counts them as owed, and a symbol that used
// any of them ends the call.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "dcl.h"
#include "dcl_codes.h"
#include "explode_tables.h"
#include "dcl_work_area.h"

namespace ssi::dcl {
namespace {

using namespace codes;
using explode_tables::BuildMatchTables;
using explode_tables::DecodeLiteral;
using explode_tables::MatchHead;
using explode_tables::MatchTables;

// The bit buffer is one machine word: on i686 a 64-bit buffer would cost a
// register pair and several instructions for every shift.
#ifdef SSI_DCL_NARROW_BITS  // lets a 64-bit build test the 32-bit reader
using BitWord = uint32_t;
#else
using BitWord = uintptr_t;
#endif
constexpr int kWordBits = 8 * sizeof(BitWord);
// With 64 bits, one refill covers a whole match (at most 30 bits) and more;
// with 32, the refill of the fast loop fills every bit, enough for one match
// but not for a literal before it, and the checked path refills between a
// match's length and its distance.
constexpr bool kWideBits = kWordBits >= 64;

// Binary literals that one refilled buffer surely holds, and the bits of
// their flags. The fast loop's refill fills a 32-bit buffer whole, so there
// it holds three (the count is covered after them).
constexpr unsigned kLiteralSlots = kWideBits ? (kWordBits - 8) / 9 : kWordBits / 9;
constexpr BitWord BuildLiteralFlags() {
  BitWord flags = 0;
  for (unsigned i = 0; i < kLiteralSlots; ++i) flags |= BitWord{1} << (9 * i);
  return flags;
}
constexpr BitWord kLiteralFlags = BuildLiteralFlags();

constexpr unsigned kHistory = kMaxDictSize;
// Output collects in the window until it reaches kFlushAt; then it is handed
// out and the last kHistory bytes move to the front.
constexpr unsigned kFlushAt = 2 * kHistory;
constexpr unsigned kCopySlack = 16;  // wide copies may overshoot a match by up to 15 bytes
constexpr unsigned kWindowSize = kFlushAt + 8 + kMaxLength + kCopySlack;  // 8: a literal run
// The fast loop stops short of kFlushAt by a literal run, so that no symbol
// takes the output past kFlushAt + kMaxLength: the first piece handed out
// is at most that long.
constexpr unsigned kFastEnd = kFlushAt - 8;
constexpr unsigned kInputSize = 1024;

// Larger pieces of the loop are inlined where speed is the aim; a build for
// size (impborl.dll) calls them.
#ifdef __OPTIMIZE_SIZE__
#define SSI_DCL_INLINE_FOR_SPEED
constexpr bool kForSize = true;
#else
#define SSI_DCL_INLINE_FOR_SPEED SSI_DCL_INLINE
constexpr bool kForSize = false;
#endif

struct ExplodeState {
  dcl_read_fn read;
  dcl_write_fn write;
  void* param;
  MatchTables match;  // for this stream's dictionary size
  uint8_t input[kInputSize];
  uint8_t window[kWindowSize];
};
static_assert(FitsWorkArea<ExplodeState>(DCL_EXPLODE_WORK_SIZE),
              "explode state must fit the work area");

SSI_DCL_INLINE BitWord LoadWord(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  BitWord v;
  std::memcpy(&v, p, sizeof v);
  return v;
#else
  BitWord v = 0;
  for (unsigned i = 0; i < sizeof v; ++i) v |= BitWord{p[i]} << (8 * i);
  return v;
#endif
}

void Emit(ExplodeState& s, const uint8_t* from, unsigned count) {
  if (count == 0) return;
  unsigned size = count;
  s.write(reinterpret_cast<char*>(const_cast<uint8_t*>(from)), &size, s.param);
}

// Bit reader state kept in locals of Decode so that it lives in registers;
// window stores through uint8_t pointers would otherwise force reloads.
struct Bits {
  BitWord buffer = 0;
  int count = 0;  // negative once more bits were used than the input held
  const uint8_t* next = nullptr;
  const uint8_t* end = nullptr;
  bool ended = false;
};

// Tops the buffer up to at least kWordBits - 8 bits unless the input ends
// first.
inline void Refill(ExplodeState& s, Bits& b) {
  if (b.end - b.next >= static_cast<std::ptrdiff_t>(sizeof(BitWord))) {
    // Bits of a byte only partly taken land where that byte goes next time,
    // so loading it again later ORs in the same bits.
    b.buffer |= LoadWord(b.next) << b.count;
    b.next += (kWordBits - 1 - b.count) >> 3;
    b.count |= kWordBits - 8;
    return;
  }
  while (b.count <= kWordBits - 8) {
    if (b.next == b.end) {
      if (b.ended) return;
      unsigned want = kInputSize;
      unsigned got = s.read(reinterpret_cast<char*>(s.input), &want, s.param);
      if (got > kInputSize) got = kInputSize;  // a callback that claims too much gets no trust
      if (got == 0) {
        b.ended = true;
        return;
      }
      b.next = s.input;
      b.end = s.input + got;
    }
    b.buffer |= BitWord{*b.next++} << b.count;
    b.count += 8;
  }
}

// Moves the input bytes not yet loaded into the bit buffer to the front of
// the input buffer and reads after them.
void TopUp(ExplodeState& s, Bits& b) {
  const auto rest = static_cast<unsigned>(b.end - b.next);
  std::memmove(s.input, b.next, rest);
  unsigned want = kInputSize - rest;
  unsigned got = s.read(reinterpret_cast<char*>(s.input + rest), &want, s.param);
  if (got > kInputSize - rest) got = kInputSize - rest;
  if (got == 0) b.ended = true;
  b.next = s.input;
  b.end = s.input + rest + got;
}

// Refill with at least sizeof(BitWord) bytes of input at hand.
SSI_DCL_INLINE void FastRefill(Bits& b) {
  b.buffer |= LoadWord(b.next) << b.count;
  b.next += (kWordBits - 1 - b.count) >> 3;
  b.count |= kWordBits - 8;
}

// After a refill every bit of the buffer holds input, but the count covers
// only whole bytes taken in: symbols may take a few bits more than it says
// are there (then it is negative). Reloads from the first byte not wholly
// taken; the fast loop's input has room for it.
SSI_DCL_INLINE void CoverCount(Bits& b) {
  if (b.count >= 0) return;
  b.buffer = LoadWord(b.next) >> -b.count;
  b.next += sizeof(BitWord) - 1;
  b.count += kWordBits - 8;
}

// Stores the bytes of every literal slot, flags left out: 8 bytes from a
// 64-bit buffer (6 slots), else one byte a slot.
SSI_DCL_INLINE void StoreLiteralSlots(uint8_t* to, BitWord bits) {
  if (kLiteralSlots == 6) {
    // Slots are 9 bits apart: close the gaps in pairs, then the pairs.
    const uint64_t x = static_cast<uint64_t>(bits) >> 1;
    constexpr uint64_t kEven = 0xFFu | uint64_t{0xFF} << 18 | uint64_t{0xFF} << 36;
    const uint64_t pairs = (x & kEven) | (x >> 1 & kEven << 8);
    const uint64_t all =
        (pairs & 0xFFFFu) | (pairs >> 2 & 0xFFFF0000u) | (pairs >> 4 & 0xFFFF00000000u);
    std::memcpy(to, &all, 8);
    return;
  }
  for (unsigned i = 0; i < kLiteralSlots; ++i) to[i] = static_cast<uint8_t>(bits >> (9 * i + 1));
}

SSI_DCL_INLINE int CountTrailingZeros(BitWord v) {
  return sizeof v > sizeof(unsigned) ? __builtin_ctzll(v) : __builtin_ctz(static_cast<unsigned>(v));
}

SSI_DCL_INLINE unsigned Take(Bits& b, unsigned n) {
  const unsigned v = static_cast<unsigned>(b.buffer & ((BitWord{1} << n) - 1));
  b.buffer >>= n;
  b.count -= static_cast<int>(n);
  return v;
}

// Takes an ASCII literal and its flag (a DecodeLiteral entry). The mask
// costs nothing: it is the one the shift instruction applies.
SSI_DCL_INLINE void TakeLiteral(Bits& b, unsigned entry) {
  const unsigned n = entry & (kWordBits - 1);
  b.buffer >>= n;
  b.count -= static_cast<int>(n);
}

SSI_DCL_INLINE uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The low `bytes` bytes of v, repeated from byte 0 up (bytes < 8).
inline uint64_t Repeat(uint64_t v, unsigned bytes) {
  v &= (uint64_t{1} << (8 * bytes)) - 1;
  for (unsigned at = bytes; at < 8; at *= 2) v |= v << (8 * at);
  return v;
}

// 8 % d and 16 % d for periods d of 1 to 7, a nibble each: a division
// would take longer than most short copies.
constexpr uint32_t kRem8 = 0x12302000;
constexpr uint32_t kRem16 = 0x24101000;

// A period under 16: the 16 bytes that follow are a pattern held in two
// registers, stored again every whole number of periods up to 16 bytes.
// Rare in most data; on i686 a call keeps its many values out of the fast
// loop, whose bit buffer and input position otherwise went to the stack.
#if !defined(__OPTIMIZE_SIZE__) && UINTPTR_MAX == 0xFFFFFFFFu
__attribute__((noinline))
#else
SSI_DCL_INLINE_FOR_SPEED
#endif
void CopyPattern(uint8_t* to, unsigned distance, uint8_t* end) {
  const uint8_t* from = to - distance;
  uint64_t low, high;
  unsigned step;
  if (!kWideBits) {
    // i686 (distances from 8 up are copied 8 bytes at a time): the pattern
    // in 32-bit words, as 64-bit values would take register pairs and
    // double-word shifts. A build for size, which keeps a frame pointer,
    // stores 8 bytes a step from two registers; four would leave too few.
    uint32_t period[2] = {0, 0};
    for (unsigned i = 0, j = 0; i < 8; ++i, j = j + 1 == distance ? 0 : j + 1)
      period[i >> 2] |= uint32_t{from[j]} << (8 * (i & 3));
    const unsigned phase = kRem8 >> (4 * distance) & 15;  // as below
    if (kForSize) {
      step = 8 - phase;
      do {
        std::memcpy(to, &period[0], 4);
        std::memcpy(to + 4, &period[1], 4);
        to += step;
      } while (to < end);
      return;
    }
    // Bytes 8 to 15 repeat bytes `phase` on, a whole number of periods back.
    const uint32_t w0 = period[0], w1 = period[1];
    const uint32_t w2 = phase == 0 ? w0 : w0 >> (8 * phase) | w1 << (32 - 8 * phase);
    const uint32_t w3 = phase == 0 ? w1 : w1 >> (8 * phase) | w2 << (32 - 8 * phase);
    step = 16 - (kRem16 >> (4 * distance) & 15);
    do {
      std::memcpy(to, &w0, 4);
      std::memcpy(to + 4, &w1, 4);
      std::memcpy(to + 8, &w2, 4);
      std::memcpy(to + 12, &w3, 4);
      to += step;
    } while (to < end);
    return;
  }
  if (distance >= 8) {
    low = Load64(from);
    const unsigned rest = distance - 8;  // bytes of the period after `low`
    high = rest == 0 ? low
                     : (Load64(from + 8) & ((uint64_t{1} << (8 * rest)) - 1)) | low << (8 * rest);
    step = distance;
  } else {
    uint64_t period = 0;
    for (unsigned i = 0; i < distance; ++i) period |= uint64_t{from[i]} << (8 * i);
    low = Repeat(period, distance);
    const unsigned phase = 8 % distance;  // where in the period byte 8 falls
    const uint64_t turned =
        phase == 0 ? period : period >> (8 * phase) | period << (8 * (distance - phase));
    high = Repeat(turned, distance);
    step = 16 - 16 % distance;
  }
  do {
    std::memcpy(to, &low, 8);
    std::memcpy(to + 8, &high, 8);
    to += step;
  } while (to < end);
}

// Copies may write up to 15 bytes past their end (kCopySlack); later output
// overwrites them before they are handed out. Loads only ever read bytes
// stored well before, or whole earlier stores: a load that straddles two
// recent stores waits for both to reach the cache, which made copies at
// short distances several times slower.
SSI_DCL_INLINE void CopyMatch(uint8_t* to, unsigned distance, unsigned length) {
  const uint8_t* from = to - distance;
  uint8_t* const end = to + length;
  if (!kWideBits && distance >= 8) {
    // Four registers' worth at a time is too many for i686.
    std::memcpy(to, from, 8);
    for (to += 8, from += 8; to < end; to += 8, from += 8) std::memcpy(to, from, 8);
    return;
  }
  if (distance >= 16) {
    // Most matches are at most 16 bytes long: one copy and a branch that
    // rarely goes the other way.
    std::memcpy(to, from, 16);
    for (to += 16, from += 16; to < end; to += 16, from += 16) std::memcpy(to, from, 16);
    return;
  }
  CopyPattern(to, distance, end);
}

// One match with every check, for the few symbols near the end of the
// input (of each input buffer in a build for size); both modes share it,
// which keeps impborl.dll small. Returns false where decoding stops: at the
// end code, or with `result` set.
SSI_DCL_INLINE_FOR_SPEED bool CheckedMatch(ExplodeState& s, Bits& b, unsigned& pos,
                                           unsigned& result) {
  // The fields of a match are cut from one snapshot of the bit buffer (two
  // with a 32-bit buffer), so only the table look-ups depend on each other.
  BitWord bits = b.buffer;
  const MatchHead& head = s.match.heads[(bits >> 1) & ((1u << kLengthTableBits) - 1)];
  const unsigned length =
      head.base + static_cast<unsigned>((bits >> head.extraAt) & head.extraMask);
  unsigned used = head.used;
  unsigned lowEnd = head.lowEnd;
  if (length == kEndLength) {
    Take(b, used);
    if (b.count < 0) result = DCL_CMP_ABORT;
    return false;
  }
  if (!kWideBits) {
    Take(b, used);
    if (b.count < 14) Refill(s, b);
    bits = b.buffer;
    lowEnd -= used;
    used = 0;
  }
  const unsigned de =
      s.match.distances[head.table][(bits >> used) & ((1u << kDistanceTableBits) - 1)];
  used += de >> 12;
  const unsigned distance = (de & 0xFFFu) + static_cast<unsigned>((bits >> used) & head.lowMask);
  Take(b, lowEnd + (de >> 12));
  if (b.count < 0) {
    result = DCL_CMP_ABORT;
    return false;
  }
  if (distance > pos) {  // reaches before the start of the output
    result = DCL_CMP_BAD_DATA;
    return false;
  }
  CopyMatch(s.window + pos, distance, length);
  pos += length;
  return true;
}

template <bool kAscii>
unsigned Decode(ExplodeState& s, Bits b) {
  uint8_t* const window = s.window;
  const MatchTables& match = s.match;
  unsigned pos = 0;      // next output byte in the window
  unsigned flushed = 0;  // window bytes already handed out
  unsigned result = DCL_CMP_NO_ERROR;
  bool ended = false;
  for (;;) {
    // While the input buffer holds a few words more and the window has room
    // for a whole match, no symbol can run short of bits or of room: decode
    // without those checks, one refill per symbol, as far as the input buffer
    // goes. The loop keeps its state in few locals and compares against
    // limits fixed before it: i686 has too few registers for the reader, the
    // output position and two bounds, and a bit buffer that went through the
    // stack lengthened every symbol's chain of dependent instructions.
    if (b.end - b.next >= 16 && pos < kFastEnd) {
      Bits f = b;
      uint8_t* out = window + pos;
      const uint8_t* const inLimit = b.end - 16;
      const uint8_t* const outLimit = window + kFastEnd;
      do {
        FastRefill(f);
        if ((f.buffer & 1u) == 0) {
          if (kAscii) {
            const unsigned e = DecodeLiteral(f.buffer);
            TakeLiteral(f, e);
            *out++ = static_cast<uint8_t>(e >> 8);
            // A 64-bit buffer still holds a second literal or a whole match.
            if (!kWideBits) continue;
            if ((f.buffer & 1u) == 0) {
              const unsigned e2 = DecodeLiteral(f.buffer);
              TakeLiteral(f, e2);
              *out++ = static_cast<uint8_t>(e2 >> 8);
              continue;
            }
          } else {
            // The run of literals in the buffer, up to kLiteralSlots of them,
            // in one step: its length comes from the first set flag, and every
            // slot is stored whether or not it is a literal (the window has
            // room past any position below kFlushAt).
            const BitWord flags = (f.buffer & kLiteralFlags) | BitWord{1} << (9 * kLiteralSlots);
            const unsigned used = static_cast<unsigned>(CountTrailingZeros(flags));
            StoreLiteralSlots(out, f.buffer);
            out += (used * 57) >> 9;  // used / 9 for used up to 54
            Take(f, used);
            // A run that ends inside the buffer ends at a match: decode it
            // without testing its flag again, which would be one more branch
            // that the processor cannot predict.
            if (used == 9 * kLiteralSlots) {
              if (!kWideBits) CoverCount(f);
              continue;
            }
            FastRefill(f);
          }
        }
        BitWord bits = f.buffer;
        const MatchHead& head = match.heads[(bits >> 1) & ((1u << kLengthTableBits) - 1)];
        const unsigned length =
            head.base + static_cast<unsigned>((bits >> head.extraAt) & head.extraMask);
        unsigned used = head.used;
        if (length == kEndLength) {
          Take(f, used);
          ended = true;
          break;
        }
        const unsigned de =
            match.distances[head.table][(bits >> used) & ((1u << kDistanceTableBits) - 1)];
        used += de >> 12;
        const unsigned distance =
            (de & 0xFFFu) + static_cast<unsigned>((bits >> used) & head.lowMask);
        Take(f, head.lowEnd + (de >> 12));
        // A match takes at most 30 bits, so even a 32-bit buffer held it whole.
        if (!kWideBits) CoverCount(f);
        if (distance > static_cast<unsigned>(out - window)) {
          result = DCL_CMP_BAD_DATA;
          ended = true;
          break;
        }
        CopyMatch(out, distance, length);
        out += length;
      } while (f.next < inLimit && out < outLimit);
      b = f;
      pos = static_cast<unsigned>(out - window);
    }
    if (ended) break;
    if (pos >= kFlushAt) {
      Emit(s, window + flushed, pos - flushed);
      std::memmove(window, window + pos - kHistory, kHistory);
      pos = flushed = kHistory;
      continue;
    }
    // Near the end of the input buffer: its last bytes move to the front and
    // the read fills the rest, so that only the end of the stream decodes
    // with every check (a build for size leaves this to Refill).
    if (!kForSize && !b.ended && b.end - b.next < 16) {
      TopUp(s, b);
      if (b.end - b.next >= 16) continue;
    }
    // Near the end of the input: one symbol with every check.
    // A literal takes at most 14 bits, a match 30 (16 up to its distance).
    if (b.count < (kWideBits ? 32 : 16)) Refill(s, b);
    if ((b.buffer & 1u) == 0) {
      unsigned literal;
      if (kAscii) {
        const unsigned e = DecodeLiteral(b.buffer);
        TakeLiteral(b, e);
        literal = e >> 8;
      } else {
        literal = (Take(b, 9) >> 1) & 0xFFu;
      }
      if (b.count < 0) {
        result = DCL_CMP_ABORT;
        break;
      }
      window[pos++] = static_cast<uint8_t>(literal);
    } else if (!CheckedMatch(s, b, pos, result)) {
      break;
    }
    // A full window is handed out at the top, where the fast loop does not
    // start past kFastEnd.
  }
  Emit(s, window + flushed, pos - flushed);
  return result;
}

}  // namespace
}  // namespace ssi::dcl

extern "C" unsigned int dcl_explode(dcl_read_fn read_buf, dcl_write_fn write_buf, char* work_buf,
                                    void* param) {
  using namespace ssi::dcl;
  if (read_buf == nullptr || write_buf == nullptr || work_buf == nullptr) return DCL_CMP_ABORT;
  ExplodeState& s = *new (AlignedIn<ExplodeState>(work_buf)) ExplodeState;
  s.read = read_buf;
  s.write = write_buf;
  s.param = param;

  Bits b;
  while (b.count < 16 && !b.ended) Refill(s, b);
  if (b.count < 16) return DCL_CMP_ABORT;  // not even a header
  const unsigned mode = Take(b, 8);
  const unsigned dictBits = Take(b, 8);
  if (dictBits < 4 || dictBits > codes::kMaxDictBits) return DCL_CMP_INVALID_DICTSIZE;
  if (mode != DCL_CMP_BINARY && mode != DCL_CMP_ASCII) return DCL_CMP_INVALID_MODE;
  BuildMatchTables(s.match, dictBits);
  return mode == DCL_CMP_ASCII ? Decode<true>(s, b) : Decode<false>(s, b);
}
