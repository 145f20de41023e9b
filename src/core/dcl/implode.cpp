// implode: encodes a DCL stream (format in dcl_codes.h).
//
// The codes of the format are fixed, so the exact cost in bits of every
// literal and every (length, distance) pair is known in advance. That allows
// an optimal parse: the input is cut into blocks, the cheapest path through
// each block is found by dynamic programming over the candidate matches at
// every position, and that path is emitted. Matches may run past a block's
// end; the block then ends at the node reached most cheaply for its length.
// For each length the nearest distance is the cheapest, so the match finder
// reports, per position, the nearest distance for each longer length it
// meets (hash chains on three bytes, byte runs chained apart by their length;
// a short chain on two bytes for length-2 matches, which may only reach 256
// bytes back). A match of the level's nice length ends the block at once,
// which keeps long runs fast. The fast level skips the parse: greedy matching
// with one step of lazy evaluation.
#include <algorithm>
#include <cstring>
#include <new>

#include "dcl.h"
#include "dcl_codes.h"
#include "dcl_level.h"
#include "dcl_work_area.h"

namespace ssi::dcl {
namespace {

using namespace codes;

constexpr unsigned kHistory = kMaxDictSize;  // history kept in the window
constexpr unsigned kBlock = 1024;            // positions parsed together
constexpr unsigned kReadSlack = 512;         // lets reads come in useful sizes
constexpr unsigned kWindowSize = kHistory + kBlock + kMaxLength + kReadSlack;
constexpr unsigned kSteps = kBlock + kMaxLength + 1;
constexpr unsigned kOutSize = 512;
constexpr unsigned kOutFlush = kOutSize - 16;

constexpr unsigned kHash3Bits = 12;
constexpr unsigned kHash2Bits = 10;
constexpr unsigned kChainMask = kHistory - 1;
constexpr unsigned kChain2Mask = kMaxLength2Distance - 1;

// Search effort per level. The default is tuned on the benchmark corpus:
// deeper search gains well under 1% in size at a fraction of the speed.
struct Effort {
  unsigned nice;         // a match this long is taken without further parsing
  unsigned chain;        // candidates looked at per position
  unsigned good;         // once a match this long is in hand,
  unsigned goodSteps;    // search on only this far
  unsigned inside;       // after a match this long, the next position
  unsigned insideSteps;  // is searched only this deep,
  unsigned skipTail;     // and no position of it but the last this many (0: all are)
  unsigned niceSteps;    // once a match of the nice length is in hand, search on only this far
};
constexpr Effort kEffort[] = {
    {64, 96, 32, 8, 12, 2, 0, 0},              // ImplodeLevel::kFast
    {40, 24, 12, 4, 16, 8, 8, 0},              // ImplodeLevel::kDefault
    {kMaxLength, 256, 128, 32, 96, 32, 0, 0},  // ImplodeLevel::kBest
};
// Low-entropy stretches (few byte values: sparse bitmaps, tables of zeros
// with scattered values, pixels of a few colours) give every position many
// equally good candidates: the long matches lie deep in the chains, and the
// nearest match of a nice length is mostly the rest of a run or a pattern,
// where a farther one goes on beyond it (the row above, in a picture). The
// default level searches a block with as few values as this deeper, with
// no cut for a good match and none of a long match's positions skipped,
// which costs up to about half its speed there.
constexpr unsigned kFewValues = 24;
constexpr Effort kLowEntropyEffort = {160, 96, kMaxLength, 96, 16, 8, 0, 32};
constexpr unsigned kMaxPairs = 32;
constexpr uint16_t kUnreached = 0xFFFF;

struct ImplodeState {
  dcl_read_fn read;
  dcl_write_fn write;
  void* param;
  bool ascii;
  bool lowEntropyEffort;  // whether blocks with few byte values search deeper
  Effort levelEffort;
  Effort effort;  // of the block being parsed
  unsigned dictBits;
  unsigned dictSize;
  uint32_t base;   // stream position of window[0]; wraps harmlessly
  unsigned avail;  // bytes in the window
  unsigned cur;    // next byte to encode
  bool inputEnded;
  // The run of equal bytes that holds the last position looked at, as window
  // positions [runStart, runEnd), and the latest run of each byte value that
  // started before it (stream position modulo 2^16, length).
  unsigned runStart;
  unsigned runEnd;
  uint16_t lastRunStart[256];
  uint16_t lastRunLength[256];
  uint32_t acc;  // pending output bits (fewer than 8), first bit lowest
  unsigned accBits;
  unsigned outLen;
  // Chains hold stream positions modulo 2^16; every candidate is verified by
  // comparing bytes, so a stale entry costs a comparison, never correctness.
  uint16_t head3[1u << kHash3Bits];
  uint16_t prev3[kHistory];
  uint16_t head2[1u << kHash2Bits];
  uint16_t prev2[kMaxLength2Distance];
  // The parse of one block: cheapest bit count to reach each position and
  // the step (length, distance) that reaches it that cheaply.
  uint16_t price[kSteps];
  uint16_t stepLength[kSteps];
  uint16_t stepDistance[kSteps];
  uint8_t window[kWindowSize + 1];  // a word read at the last three bytes
  uint8_t out[kOutSize];
};
static_assert(FitsWorkArea<ImplodeState>(DCL_IMPLODE_WORK_SIZE),
              "implode state must fit the work area");
static_assert(kSteps * 14 < kUnreached, "block prices must fit 16 bits");

constexpr std::array<uint8_t, kEndLength + 1> BuildLengthCosts() {
  std::array<uint8_t, kEndLength + 1> t{};
  for (unsigned len = kMinLength; len <= kEndLength; ++len) {
    const unsigned s = kLengthSymbol[len];
    t[len] = static_cast<uint8_t>(1 + kLengthCode.bits[s] + kLengthExtra[s]);
  }
  return t;
}
constexpr std::array<uint8_t, kEndLength + 1> kLengthCost = BuildLengthCosts();

struct Matches {
  unsigned length2Distance;  // nearest distance of a 2-byte match, 0 if none
  unsigned count;
  uint16_t length[kMaxPairs];  // increasing
  uint16_t distance[kMaxPairs];

  void Clear() {
    length2Distance = 0;
    count = 0;
  }
  void Add(const ImplodeState&, unsigned len, unsigned d) {
    const unsigned slot = count < kMaxPairs ? count++ : kMaxPairs - 1;
    length[slot] = static_cast<uint16_t>(len);
    distance[slot] = static_cast<uint16_t>(d);
  }
  unsigned Nearest() const { return count != 0 ? distance[0] : 0; }
};

inline unsigned LowBits(const ImplodeState& s, unsigned length) {
  return length == 2 ? 2 : s.dictBits;
}

inline unsigned DistanceCost(const ImplodeState& s, unsigned length, unsigned distance) {
  const unsigned low = LowBits(s, length);
  return kDistanceCode.bits[(distance - 1) >> low] + low;
}

inline unsigned LiteralCost(const ImplodeState& s, uint8_t c) {
  return s.ascii ? 1u + kLiteralCode.bits[c] : 9u;
}

// The four bytes at p, first lowest: where three or more lie ahead, the
// hashes and the run test all come from one load.
inline uint32_t Load32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline unsigned Hash3(uint32_t bytes) {
  return ((bytes & 0xFFFFFFu) * 0x9E3779B1u) >> (32 - kHash3Bits);
}

inline unsigned Hash2(uint32_t bytes) {
  return ((bytes & 0xFFFFu) * 0x9E3779B1u) >> (32 - kHash2Bits);
}

inline unsigned Hash2(const uint8_t* p) { return Hash2(uint32_t{p[0]} | uint32_t{p[1]} << 8); }

// Positions inside a run of equal bytes all hash alike on three bytes and
// would crowd the chains. So a position that starts at least three equal
// bytes is chained by the byte and the run's remaining length instead: that
// chain holds, per earlier run at least as long, the one position from which
// the run's end lines up with ours, the only one that can match beyond it.
inline unsigned HashRun(unsigned byte, unsigned remaining) {
  const uint32_t v = byte | remaining << 8 | 0x80000000u;
  return (v * 0x9E3779B1u) >> (32 - kHash3Bits);
}

inline uint16_t StreamPos(const ImplodeState& s, unsigned p) {
  return static_cast<uint16_t>(s.base + p);
}

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// How far a and b agree, looking at most up to `limit` bytes. Compares whole
// machine words: 64-bit compares cost two registers and a carry chain on i686.
inline unsigned MatchLength(const uint8_t* a, const uint8_t* b, unsigned limit) {
  using Word = uintptr_t;
  unsigned n = 0;
  while (n + sizeof(Word) <= limit) {
    Word x, y;
    std::memcpy(&x, a + n, sizeof x);
    std::memcpy(&y, b + n, sizeof y);
    if (x != y) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      return n + static_cast<unsigned>(
                     (sizeof(Word) == 8 ? __builtin_ctzll(static_cast<unsigned long long>(x ^ y))
                                        : __builtin_ctz(static_cast<unsigned>(x ^ y))) >>
                     3);
#else
      while (a[n] == b[n]) ++n;
      return n;
#endif
    }
    n += sizeof(Word);
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

inline void Link3(ImplodeState& s, unsigned h, uint16_t here) {
  s.prev3[here & kChainMask] = s.head3[h];
  s.head3[h] = here;
}

inline void Link2(ImplodeState& s, unsigned h, uint16_t here) {
  s.prev2[here & kChain2Mask] = s.head2[h];
  s.head2[h] = here;
}

// How many equal bytes start at p (at most kMaxLength), kept incrementally:
// positions are visited in order, so a run is scanned once, to its true end
// (a run that reached the end of the window grows as input arrives).
inline unsigned RunAt(ImplodeState& s, unsigned p) {
  const uint8_t* const w = s.window;
  if (p >= s.runStart && p < s.runEnd) {
    while (s.runEnd < s.avail && w[s.runEnd] == w[p]) ++s.runEnd;
    return std::min(s.runEnd - p, kMaxLength);
  }
  unsigned e = p + 1;
  while (e < s.avail && w[e] == w[p]) ++e;
  if (s.runEnd >= s.runStart + 3) {  // leaving a run: the nearest of its byte now
    const uint8_t c = w[s.runStart];
    s.lastRunStart[c] = StreamPos(s, s.runStart);
    s.lastRunLength[c] = static_cast<uint16_t>(s.runEnd - s.runStart);
  }
  s.runStart = p;
  s.runEnd = e;
  return std::min(e - p, kMaxLength);
}

// Whether p starts three equal bytes. Only such positions need RunAt: the
// run they leave behind is recorded when the next run is met, before anything
// reads the record (FillWindow records it before a shift could shorten it).
inline bool RunOfThree(uint32_t bytes) { return ((bytes ^ bytes >> 8) & 0xFFFFu) == 0; }

// Enters the positions [from, to) into the chains, the bounds checked once.
void InsertRange(ImplodeState& s, unsigned from, unsigned to) {
  unsigned p = from;
  const unsigned end3 = std::min(to, s.avail >= 2 ? s.avail - 2 : 0);
  for (; p < end3; ++p) {
    const uint16_t here = StreamPos(s, p);
    const uint32_t bytes = Load32(s.window + p);
    Link3(s, RunOfThree(bytes) ? HashRun(bytes & 0xFFu, RunAt(s, p)) : Hash3(bytes), here);
    Link2(s, Hash2(bytes), here);
  }
  for (; p < to && p + 2 <= s.avail; ++p) Link2(s, Hash2(s.window + p), StreamPos(s, p));
}

struct Choice {
  unsigned length = 1;
  unsigned distance = 0;
  int gain = 0;
};

constexpr unsigned kCountedLiterals = 6;

// What the fast level keeps of the matches at `at` as they are found: the
// one that saves the most bits against the literals it replaces, counted at
// their own cost (in ASCII mode a literal costs 5 to 14 bits) for the first
// few, where it can tip the choice, and at an average cost beyond. (Matches
// keeps 32 of them; only where a search meets more ever-longer matches than
// that can the two choose differently.)
struct BestChoice {
  const uint8_t* at;
  unsigned length2Distance;
  unsigned nearest;
  unsigned counted;
  int literals;
  Choice best;

  void Clear() {
    length2Distance = nearest = counted = 0;
    literals = 0;
    best = Choice{};
  }
  void Add(const ImplodeState& s, unsigned len, unsigned d) {
    if (nearest == 0) nearest = d;
    if (s.ascii) {
      for (; counted < std::min(len, kCountedLiterals); ++counted)
        literals += static_cast<int>(LiteralCost(s, at[counted]));
      if (len > counted) literals += static_cast<int>(8 * (len - counted));
      counted = len;
    } else {
      literals = static_cast<int>(9 * len);
    }
    const int gain = literals - static_cast<int>(kLengthCost[len] + DistanceCost(s, 3, d));
    if (gain > best.gain) best = {len, d, gain};
  }
  unsigned Nearest() const { return nearest; }
  BestChoice& Sink() { return *this; }
  // A 2-byte match wins a tie: it is the first choice looked at.
  Choice Finish(const ImplodeState& s) const {
    if (length2Distance != 0) {
      const int gain = static_cast<int>(LiteralCost(s, at[0]) + LiteralCost(s, at[1])) -
                       static_cast<int>(kLengthCost[2] + DistanceCost(s, 2, length2Distance));
      if (gain > 0 && gain >= best.gain) return {2, length2Distance, gain};
    }
    return best;
  }
};

#if defined(__OPTIMIZE_SIZE__)
// Built for size (impborl.dll, whose entry point uses the default level),
// the fast level shares the default's search and takes its choice from the
// list afterwards, rather than adding a second copy of the search.
struct FastFound : Matches {
  const uint8_t* at;
  Matches& Sink() { return *this; }
  Choice Finish(const ImplodeState& s) const {
    BestChoice b;
    b.Clear();
    b.at = at;
    for (unsigned k = 0; k < count; ++k) b.Add(s, length[k], distance[k]);
    b.length2Distance = length2Distance;
    return b.Finish(s);
  }
};
#else
using FastFound = BestChoice;
#endif

// Inlined into each caller where built for speed: the search runs at
// nearly every position, and the call's own cost (registers saved, the
// state reloaded) was a tenth of the default level's time. Built for size
// (impborl.dll) it stays one function.
#if defined(__GNUC__) && !defined(__OPTIMIZE_SIZE__)
#define SSI_SEARCH_INLINE __attribute__((always_inline)) inline
#else
#define SSI_SEARCH_INLINE
#endif

// Finds the candidate matches at window position p (then inserts p), of
// `shortest` bytes or more, and a 2-byte match if `pairs`.
template <typename Found>
SSI_SEARCH_INLINE void FindMatches(ImplodeState& s, unsigned p, unsigned lookahead,
                                   unsigned maxSteps, Found& m, unsigned shortest = 3,
                                   bool pairs = true) {
  m.Clear();
  const uint16_t here = StreamPos(s, p);
  const uint8_t* const w = s.window;
  if (lookahead >= 3) {
    const uint8_t* const at = w + p;
    unsigned best = shortest - 1;
    if (best >= lookahead) maxSteps = 0;
    const uint32_t bytes = Load32(at);
    const unsigned run = RunOfThree(bytes) ? RunAt(s, p) : 0;
    unsigned h3;
    if (run < 3) {
      h3 = Hash3(bytes);
    } else {
      h3 = HashRun(at[0], run);
      // Inside a run, distance 1 gives the run's length; at a run's start,
      // the nearest earlier run of the byte gives as much of it as it holds.
      unsigned d = 0;
      if (p != 0 && at[-1] == at[0]) {
        d = 1;
      } else {
        const unsigned length = s.lastRunLength[at[0]];
        d = static_cast<uint16_t>(here - s.lastRunStart[at[0]] - length) + std::min(length, run);
        if (length == 0 || d > s.dictSize || d > p) d = 0;
      }
      // Distance 1 matches the run exactly; a match with an earlier run is
      // checked in full, as the record may predate the chains' wrap.
      const unsigned len = d == 1 ? run : d != 0 ? MatchLength(at - d, at, lookahead) : 0;
      if (len > best) {  // a run recorded before the chains wrapped may be gone
        best = len;
        m.Add(s, len, d);
        if (best == lookahead) maxSteps = 0;
      }
    }
    uint16_t cand = s.head3[h3];
    // Within reach a chain's links are never stale: a position's link is
    // overwritten only a whole history later. So the walk ends at the first
    // distance out of reach (0 < d <= reach fails, as one unsigned compare).
    // A head left from 64 KB ago may still look near; its candidates are
    // checked like any other, and the steps bound the walk.
    const unsigned reach = std::min(s.dictSize, p);
    for (unsigned steps = maxSteps; steps != 0; --steps) {
      const unsigned d = static_cast<uint16_t>(here - cand);
      if (d - 1 >= reach) break;
      const uint8_t* q = at - d;
      if (q[best] == at[best] && Load16(q) == Load16(at)) {
        const unsigned len = MatchLength(q, at, lookahead);
        if (len > best) {
          best = len;
          m.Add(s, len, d);
          if (len == lookahead) break;
          // From a run, every earlier run as long gives the run itself:
          // only what lies beyond its end tells the candidates apart, so
          // the cuts count from there. (Counted from the match's start,
          // they stopped the search among runs that all end alike, short of
          // the one that goes on further: the default level wrote 2.5 %
          // more than classic on such input, now 1.6 %.)
          if (len >= s.effort.nice + run) {
            if (s.effort.niceSteps == 0) break;
            steps = std::min(steps, s.effort.niceSteps);
          }
          if (len >= s.effort.good + run) steps = std::min(steps, s.effort.goodSteps);
        }
      }
      cand = s.prev3[cand & kChainMask];
    }
    Link3(s, h3, here);
  }
  if (lookahead >= 2) {
    const unsigned h2 = Hash2(w + p);
    uint16_t cand = s.head2[h2];
    unsigned last = 0;
    // The nearest longer match, if near enough, serves for length 2 too: it
    // is rarely much farther than the nearest pair of bytes.
    const bool served = m.Nearest() != 0 && m.Nearest() <= kMaxLength2Distance;
    if (served) m.length2Distance = m.Nearest();
    const unsigned reach2 = served || !pairs ? 0 : std::min(kMaxLength2Distance, p);
    for (;;) {
      const unsigned d = static_cast<uint16_t>(here - cand);
      if (d - last - 1 >= reach2 - last) break;
      if (w[p - d] == w[p] && w[p - d + 1] == w[p + 1]) {
        m.length2Distance = d;
        break;
      }
      last = d;
      cand = s.prev2[cand & kChain2Mask];
    }
    Link2(s, h2, here);
  }
}

// --- output ---

void FlushOutput(ImplodeState& s) {
  if (s.outLen == 0) return;
  unsigned size = s.outLen;
  s.write(reinterpret_cast<char*>(s.out), &size, s.param);
  s.outLen = 0;
}

// Stores the whole bytes at once, whether there are any or not: no branch
// to mispredict. At most 16 bits a call, so 23 bits are pending at most.
inline void PutBits(ImplodeState& s, uint32_t value, unsigned count) {
  s.acc |= value << s.accBits;
  s.accBits += count;
  const uint8_t bytes[4] = {static_cast<uint8_t>(s.acc), static_cast<uint8_t>(s.acc >> 8),
                            static_cast<uint8_t>(s.acc >> 16), static_cast<uint8_t>(s.acc >> 24)};
  std::memcpy(s.out + s.outLen, bytes, 4);
  s.outLen += s.accBits >> 3;
  s.acc >>= s.accBits & ~7u;
  s.accBits &= 7u;
}

void PutLiteral(ImplodeState& s, uint8_t c) {
  if (s.ascii) {
    PutBits(s, uint32_t{kLiteralCode.stream[c]} << 1, kLiteralCode.bits[c] + 1u);
  } else {
    PutBits(s, uint32_t{c} << 1, 9);
  }
}

// Two stores a match: its length's fields (at most 16 bits), then its
// distance's (at most 14).
void PutMatch(ImplodeState& s, unsigned length, unsigned distance) {
  const unsigned sym = kLengthSymbol[length];
  const unsigned codeBits = kLengthCode.bits[sym] + 1u;
  PutBits(s,
          (uint32_t{kLengthCode.stream[sym]} << 1 | 1u) | (length - kLengthBase[sym]) << codeBits,
          codeBits + kLengthExtra[sym]);
  if (length == kEndLength) return;
  const unsigned low = LowBits(s, length);
  const unsigned high = (distance - 1) >> low;
  PutBits(s,
          kDistanceCode.stream[high] | ((distance - 1) & ((1u << low) - 1))
                                           << kDistanceCode.bits[high],
          kDistanceCode.bits[high] + low);
}

// --- input ---

void FillWindow(ImplodeState& s) {
  if (s.inputEnded || s.avail - s.cur >= kBlock + kMaxLength) return;
  if (s.cur > kHistory) {
    const unsigned shift = s.cur - kHistory;
    if (s.runEnd >= s.runStart + 3 && s.runEnd < s.cur) {
      const uint8_t c = s.window[s.runStart];
      s.lastRunStart[c] = StreamPos(s, s.runStart);
      s.lastRunLength[c] = static_cast<uint16_t>(s.runEnd - s.runStart);
      s.runStart = s.runEnd;
    }
    std::memmove(s.window, s.window + shift, s.avail - shift);
    s.runStart = s.runStart > shift ? s.runStart - shift : 0;
    s.runEnd = s.runEnd > shift ? s.runEnd - shift : 0;
    s.base += shift;
    s.cur -= shift;
    s.avail -= shift;
  }
  while (!s.inputEnded && s.avail < kWindowSize) {
    unsigned want = kWindowSize - s.avail;
    unsigned got = s.read(reinterpret_cast<char*>(s.window + s.avail), &want, s.param);
    if (got == 0) s.inputEnded = true;
    s.avail += std::min(got, kWindowSize - s.avail);
  }
}

// --- parsing ---

inline void Relax(ImplodeState& s, unsigned to, unsigned price, unsigned length,
                  unsigned distance) {
  if (price < s.price[to]) {
    s.price[to] = static_cast<uint16_t>(price);
    s.stepLength[to] = static_cast<uint16_t>(length);
    s.stepDistance[to] = static_cast<uint16_t>(distance);
  }
}

bool FewValues(const uint8_t* p, unsigned n) {
  bool seen[256] = {};
  unsigned count = 0;
  // Most blocks show more values within their first few dozen bytes.
  for (unsigned i = 0; i < n; ++i) {
    if (!seen[p[i]]) {
      if (++count > kFewValues) return false;
      seen[p[i]] = true;
    }
  }
  return true;
}

// Parses and emits up to kBlock positions from s.cur; returns how many bytes it covered.
unsigned CompressBlock(ImplodeState& s) {
  const unsigned n = std::min(kBlock, s.avail - s.cur);
  s.effort = s.lowEntropyEffort && FewValues(s.window + s.cur, n) ? kLowEntropyEffort
                                                                  : s.levelEffort;
  std::fill(s.price + 1, s.price + n + kMaxLength + 1, kUnreached);
  s.price[0] = 0;
  unsigned end = n;
  Matches m;
  unsigned previousLongest = 0;
  unsigned skipTo = 0;
  for (unsigned i = 0; i < end; ++i) {
    const unsigned p = s.cur + i;
    if (i < skipTo) {
      // Deep inside a long match: a match from here rarely reaches further.
      InsertRange(s, p, p + 1);
      Relax(s, i + 1, s.price[i] + LiteralCost(s, s.window[p]), 1, 0);
      continue;
    }
    const unsigned lookahead = std::min(kMaxLength, s.avail - p);
    // Inside a long match the next position mostly offers the same match
    // one shorter: a brief search there finds what the parse will use.
    FindMatches(s, p, lookahead,
                previousLongest > s.effort.inside ? s.effort.insideSteps : s.effort.chain, m);
    previousLongest = m.count != 0 ? m.length[m.count - 1] : 0;
    if (s.effort.skipTail != 0 && previousLongest > 2 * s.effort.inside)
      skipTo = i + previousLongest - s.effort.skipTail;
    const unsigned here = s.price[i];
    Relax(s, i + 1, here + LiteralCost(s, s.window[p]), 1, 0);
    if (m.count != 0 && m.length[m.count - 1] >= s.effort.nice) {
      // Take the long match outright and end the block behind it.
      const unsigned len = m.length[m.count - 1];
      const unsigned d = m.distance[m.count - 1];
      s.price[i + len] = static_cast<uint16_t>(here + kLengthCost[len] + DistanceCost(s, len, d));
      s.stepLength[i + len] = static_cast<uint16_t>(len);
      s.stepDistance[i + len] = static_cast<uint16_t>(d);
      InsertRange(s, p + 1, p + len);
      end = i + len;
      break;
    }
    if (m.length2Distance != 0) {
      Relax(s, i + 2, here + kLengthCost[2] + DistanceCost(s, 2, m.length2Distance), 2,
            m.length2Distance);
    }
    unsigned from = 3;
    for (unsigned k = 0; k < m.count; ++k) {
      const unsigned top = m.length[k];
      const unsigned d = m.distance[k];
      const unsigned dcost = here + DistanceCost(s, 3, d);
      for (unsigned len = from; len <= top; ++len)
        Relax(s, i + len, dcost + kLengthCost[len], len, d);
      from = m.length[k] + 1u;
    }
  }
  if (end == n && n != 0) {
    // Matches may run past the block's end. End the block at the node that
    // is cheapest against the block's own rate of bits per byte, and enter
    // the bytes it then covers, which were not searched, into the chains.
    long long bestScore = static_cast<long long>(s.price[n]) * n;
    for (unsigned e = n + 1; e <= n + kMaxLength; ++e) {
      if (s.price[e] == kUnreached) continue;
      const long long score =
          static_cast<long long>(s.price[e]) * n - static_cast<long long>(e - n) * s.price[n];
      if (score < bestScore) {
        bestScore = score;
        end = e;
      }
    }
    InsertRange(s, s.cur + n, s.cur + end);
  }
  // Walk the cheapest path back, leaving each step's length at its start.
  for (unsigned j = end; j > 0;) {
    const unsigned len = s.stepLength[j];
    j -= len;
    s.price[j] = static_cast<uint16_t>(len);
  }
  for (unsigned j = 0; j < end;) {
    const unsigned len = s.price[j];
    if (len == 1) {
      PutLiteral(s, s.window[s.cur + j]);
    } else {
      PutMatch(s, len, s.stepDistance[j + len]);
    }
    if (s.outLen >= kOutFlush) FlushOutput(s);
    j += len;
  }
  return end;
}

// The fast level: at each position the match that saves the most bits
// against the literals it replaces, unless the next position offers one
// that saves more (one step of lazy matching); no block parse.
constexpr int kLazyMargin = 4;  // bits; tuned on the corpus against the classic sizes

unsigned CompressBlockLazy(ImplodeState& s) {
  const unsigned n = std::min(kBlock, s.avail - s.cur);
  FastFound found;
  Choice c;
  bool known = false;  // `c` already holds the choice at i
  unsigned i = 0;
  while (i < n) {
    const unsigned p = s.cur + i;
    if (!known) {
      found.at = s.window + p;
      FindMatches(s, p, std::min(kMaxLength, s.avail - p), s.effort.chain, found.Sink());
      c = found.Finish(s);
    }
    known = false;
    const unsigned length = c.length, distance = c.distance;
    if (length >= 2 && length < s.effort.nice && i + 1 < n) {
      found.at = s.window + p + 1;
      FindMatches(s, p + 1, std::min(kMaxLength, s.avail - p - 1),
                  length >= s.effort.good ? s.effort.goodSteps : s.effort.chain, found.Sink(),
                  std::max(length, 3u), false);
      const Choice later = found.Finish(s);
      // The next match must save a few bits more than this one to be worth
      // a literal first: an even trade mostly loses at the following match.
      // One no longer than this one almost never does, so the probe looks
      // only for longer ones (up to 6 % quicker; on the corpus at most 5
      // bytes more in a mode), and for no 2-byte match (4 % quicker in the
      // 32-bit build; 0.005 % more bytes in binary mode, 0.04 % in ASCII).
      if (later.gain > c.gain + kLazyMargin) {
        PutLiteral(s, s.window[p]);
        c = later;
        known = true;
        ++i;
        if (s.outLen >= kOutFlush) FlushOutput(s);
        continue;
      }
      InsertRange(s, p + 2, p + length);
    } else {
      InsertRange(s, p + 1, p + length);
    }
    if (length == 1) {
      PutLiteral(s, s.window[p]);
    } else {
      PutMatch(s, length, distance);
    }
    if (s.outLen >= kOutFlush) FlushOutput(s);
    i += length;
  }
  return i;
}

}  // namespace
}  // namespace ssi::dcl

unsigned int ssi::dcl::ImplodeAtLevel(dcl_read_fn read_buf, dcl_write_fn write_buf, char* work_buf,
                                      void* param, unsigned int* type, unsigned int* dsize,
                                      ImplodeLevel level) {
  if (read_buf == nullptr || write_buf == nullptr || work_buf == nullptr) return DCL_CMP_ABORT;
  if (dsize == nullptr) return DCL_CMP_INVALID_DICTSIZE;
  unsigned dictBits = 0;
  switch (*dsize) {
    case 1024:
      dictBits = 4;
      break;
    case 2048:
      dictBits = 5;
      break;
    case 4096:
      dictBits = 6;
      break;
    default:
      return DCL_CMP_INVALID_DICTSIZE;
  }
  if (type == nullptr || (*type != DCL_CMP_BINARY && *type != DCL_CMP_ASCII))
    return DCL_CMP_INVALID_MODE;

  ImplodeState& s = *new (AlignedIn<ImplodeState>(work_buf)) ImplodeState;
  std::memset(&s, 0, sizeof s);
  s.read = read_buf;
  s.write = write_buf;
  s.param = param;
  s.ascii = *type == DCL_CMP_ASCII;
  s.effort = kEffort[static_cast<unsigned>(level)];
  // A greedy parse leans on each choice: a larger dictionary holds more
  // candidates worth reaching (48, 64, 96 for 1, 2, 4 KB).
  if (level == ImplodeLevel::kFast) s.effort.chain = std::min(s.effort.chain, 32 + *dsize / 64);
  // In pictures a long match at the nearest distance is mostly the rest of
  // a run, while the row above goes on further, deeper in the chain: at 2
  // and 4 KB, where more rows lie in reach, the greedy parse keeps looking
  // past long matches (a 24-bit drawing had been 0.06 % over classic at 2 KB,
  // a PE file 0.02 % at 4 KB; about 5 % slower).
  if (level == ImplodeLevel::kFast && *dsize >= 2048) {
    s.effort.nice = 256;
    s.effort.good = 128;
  }
  // The parse at 1 and 2 KB searches a little less, inside matches above
  // all: 2 to 9 % quicker for 0.06 to 0.09 % more bytes. At 4 KB the same
  // cut costs half as much again.
  if (level == ImplodeLevel::kDefault && *dsize < 4096) {
    s.effort.chain = 20;
    s.effort.inside = 12;
  }
  // At 4 KB more matches reach the nice length, and the nearest of them is
  // taken outright: from 48 bytes rather than 40 the parse weighs more of
  // them (0.03 % smaller, as fast; a PE file had been 0.18 % over classic).
  if (level == ImplodeLevel::kDefault && *dsize == 4096) s.effort.nice = 48;
  s.levelEffort = s.effort;
  s.lowEntropyEffort = level == ImplodeLevel::kDefault;
  s.dictBits = dictBits;
  s.dictSize = *dsize;
  s.out[s.outLen++] = static_cast<uint8_t>(*type);
  s.out[s.outLen++] = static_cast<uint8_t>(dictBits);

  for (;;) {
    FillWindow(s);
    if (s.cur == s.avail) break;
    s.cur += level == ImplodeLevel::kFast ? CompressBlockLazy(s) : CompressBlock(s);
  }
  PutMatch(s, codes::kEndLength, 0);
  if (s.accBits > 0) s.out[s.outLen++] = static_cast<uint8_t>(s.acc);
  FlushOutput(s);
  return DCL_CMP_NO_ERROR;
}

extern "C" unsigned int dcl_implode(dcl_read_fn read_buf, dcl_write_fn write_buf, char* work_buf,
                                    void* param, unsigned int* type, unsigned int* dsize) {
  return ssi::dcl::ImplodeAtLevel(read_buf, write_buf, work_buf, param, type, dsize,
                                  ssi::dcl::ImplodeLevel::kDefault);
}
