// libFuzzer target: implode then explode must give back the input exactly.
// Input: byte 0 picks the mode, dictionary and level, byte 1 the read piece
// size, the rest is the data. With the top bit of byte 0 set, the data is
// read as (count, byte) pairs and stretched into runs of 1 to 1021 bytes (up
// to 64 KB in all), so that short fuzz inputs reach the encoder's run
// handling, runs longer than a match, and matches that cross its 1024-byte
// parse blocks.
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "dcl.h"
#include "dcl_level.h"

namespace {

struct Feed {
  const uint8_t* data;
  size_t size;
  size_t pos;
  unsigned piece;
  std::vector<uint8_t> out;
};

unsigned int Read(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  const size_t n = std::min<size_t>({f.size - f.pos, size_t{*size}, size_t{f.piece}});
  if (n != 0) std::memcpy(buf, f.data + f.pos, n);  // an empty stretch has no data pointer
  f.pos += n;
  return static_cast<unsigned int>(n);
}

void Write(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  f.out.insert(f.out.end(), buf, buf + *size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  unsigned type = data[0] & 1u;
  unsigned dictSize = 1024u << ((data[0] >> 1) % 3u);
  const unsigned piece = data[1] == 0 ? 0xFFFFFFFFu : data[1];
  std::vector<uint8_t> stretched;
  if (data[0] & 0x80u) {
    for (size_t i = 2; i + 1 < size && stretched.size() < (64u << 10); i += 2)
      stretched.insert(stretched.end(), 1u + data[i] * 4u, data[i + 1]);
  }
  const uint8_t* const input = data[0] & 0x80u ? stretched.data() : data + 2;
  const size_t inputSize = data[0] & 0x80u ? stretched.size() : size - 2;
  std::vector<char> implodeWork(DCL_IMPLODE_WORK_SIZE);
  Feed plain{input, inputSize, 0, piece, {}};
  const auto level = static_cast<ssi::dcl::ImplodeLevel>((data[0] >> 3) % 3u);
  if (ssi::dcl::ImplodeAtLevel(Read, Write, implodeWork.data(), &plain, &type, &dictSize, level) !=
      DCL_CMP_NO_ERROR)
    std::abort();
  std::vector<char> explodeWork(DCL_EXPLODE_WORK_SIZE);
  Feed packed{plain.out.data(), plain.out.size(), 0, piece, {}};
  if (dcl_explode(Read, Write, explodeWork.data(), &packed) != DCL_CMP_NO_ERROR) std::abort();
  if (packed.out.size() != inputSize ||
      (inputSize != 0 && std::memcmp(packed.out.data(), input, inputSize) != 0)) {
    std::abort();
  }
  return 0;
}
