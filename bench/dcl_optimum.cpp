// Prints, per file and mode, the smallest DCL stream the format allows and
// how far the best level's stream is above it.
// Usage: dcl_optimum MODE FILE...   (MODE like binary/4096)
//
// The floor comes from a shortest path over the whole file, apart from the
// encoder: at every position every length, each at the nearest distance
// that gives it (a nearer distance never costs more bits), the 3-byte
// candidates from unbounded hash chains and the 2-byte ones from a search
// of the 256 bytes before. It is slow on long runs, which is fine for a
// measurement.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dcl.h"
#include "dcl_buffer.h"
#include "dcl_codes.h"
#include "dcl_level.h"

namespace {

using namespace ssi::dcl::codes;

struct Mode {
  unsigned type;
  unsigned dictSize;
  unsigned dictBits() const { return dictSize == 1024 ? 4 : dictSize == 2048 ? 5 : 6; }
};

unsigned LengthCost(unsigned length) {
  const unsigned s = kLengthSymbol[length];
  return 1u + kLengthCode.bits[s] + kLengthExtra[s];
}

unsigned DistanceCost(const Mode& m, unsigned length, unsigned distance) {
  const unsigned low = length == 2 ? 2 : m.dictBits();
  return kDistanceCode.bits[(distance - 1) >> low] + low;
}

// The optimal stream's size in bytes: two header bytes, the cheapest path,
// the end code, rounded up to whole bytes.
size_t Floor(const std::vector<uint8_t>& d, const Mode& m) {
  const size_t n = d.size();
  std::vector<uint32_t> cost(n + 1, UINT32_MAX);
  cost[0] = 0;
  constexpr unsigned kHashBits = 16;
  constexpr size_t kNone = SIZE_MAX;
  std::vector<size_t> head(size_t{1} << kHashBits, kNone), prev(n, kNone);
  auto hash = [&](size_t i) {
    const uint32_t v = uint32_t{d[i]} | uint32_t{d[i + 1]} << 8 | uint32_t{d[i + 2]} << 16;
    return (v * 0x9E3779B1u) >> (32 - kHashBits);
  };
  for (size_t i = 0; i < n; ++i) {
    const uint32_t here = cost[i];
    const unsigned literal = m.type == DCL_CMP_ASCII ? 1u + kLiteralCode.bits[d[i]] : 9u;
    cost[i + 1] = std::min(cost[i + 1], here + literal);
    const unsigned lookahead = static_cast<unsigned>(std::min<size_t>(kMaxLength, n - i));
    if (lookahead >= 2) {
      for (size_t dist = 1; dist <= std::min<size_t>(kMaxLength2Distance, i); ++dist) {
        if (d[i - dist] == d[i] && d[i - dist + 1] == d[i + 1]) {
          cost[i + 2] = std::min<uint32_t>(
              cost[i + 2],
              here + LengthCost(2) + DistanceCost(m, 2, static_cast<unsigned>(dist)));
          break;
        }
      }
    }
    if (lookahead >= 3) {
      const uint32_t h = hash(i);
      unsigned best = 2;
      for (size_t j = head[h]; j != kNone && i - j <= m.dictSize; j = prev[j]) {
        const size_t dist = i - j;
        if (d[j + best] != d[i + best]) continue;
        unsigned len = 0;
        while (len < lookahead && d[j + len] == d[i + len]) ++len;
        if (len <= best) continue;
        const unsigned dc = DistanceCost(m, 3, static_cast<unsigned>(dist));
        for (unsigned l = best + 1; l <= len; ++l)
          cost[i + l] = std::min(cost[i + l], here + LengthCost(l) + dc);
        best = len;
        if (best == lookahead) break;
      }
      prev[i] = head[h];
      head[h] = i;
    }
  }
  const uint64_t bits = cost[n] + LengthCost(kEndLength);
  return 2 + static_cast<size_t>((bits + 7) / 8);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dcl_optimum binary|ascii/1024|2048|4096 FILE...\n");
    return 2;
  }
  const std::string mode = argv[1];
  const size_t slash = mode.find('/');
  if (slash == std::string::npos) return 2;
  const Mode m{mode.substr(0, slash) == "ascii" ? 1u : 0u,
               static_cast<unsigned>(std::atoi(mode.c_str() + slash + 1))};
  size_t allFloor = 0, allBest = 0;
  double worst = 0;
  std::string worstName;
  for (int a = 2; a < argc; ++a) {
    std::ifstream in(argv[a], std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    const size_t floor = Floor(data, m);
    std::vector<uint8_t> packed;
    if (ssi::dcl::ImplodeBuffer(data.data(), data.size(), m.type, m.dictSize, packed,
                                ssi::dcl::ImplodeLevel::kBest) != DCL_CMP_NO_ERROR)
      return 1;
    const double over = 100.0 * (static_cast<double>(packed.size()) / static_cast<double>(floor) - 1);
    std::printf("%-12s %-28s floor %10zu  best %10zu  %+.3f%%\n", mode.c_str(), argv[a], floor,
                packed.size(), over);
    std::fflush(stdout);
    allFloor += floor;
    allBest += packed.size();
    if (over > worst) {
      worst = over;
      worstName = argv[a];
    }
  }
  std::printf("%-12s all: floor %zu  best %zu  %+.3f%%; farthest %s %+.3f%%\n", mode.c_str(),
              allFloor, allBest,
              100.0 * (static_cast<double>(allBest) / static_cast<double>(allFloor) - 1),
              worstName.c_str(), worst);
  return 0;
}
