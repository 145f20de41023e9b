// libFuzzer target: explode on arbitrary input, read in pieces of varying size.
// Input: byte 0 picks the piece sizes, the rest is the stream. The same stream
// read whole must give the same output and the same result: how the input is
// cut may never change what the decoder does.
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "dcl.h"

namespace {

constexpr size_t kOutputCap = size_t{1} << 22;

struct Feed {
  const uint8_t* data;
  size_t size;
  size_t pos;
  unsigned pieceSeed;  // 0: as much as asked
  unsigned calls;
  std::vector<uint8_t> out;
};

unsigned int Read(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  size_t n = f.size - f.pos;
  if (f.pieceSeed != 0) n = std::min<size_t>(n, 1 + (++f.calls * 7u + f.pieceSeed) % f.pieceSeed);
  n = std::min<size_t>(n, *size);
  std::memcpy(buf, f.data + f.pos, n);
  f.pos += n;
  return static_cast<unsigned int>(n);
}

void Write(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  if (*size == 0 || *size > 2 * 4096 + 518) std::abort();  // pieces come from the window
  const size_t n = std::min<size_t>(*size, kOutputCap - std::min(kOutputCap, f.out.size()));
  f.out.insert(f.out.end(), buf, buf + n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // Work areas exactly as large as promised, so ASan sees any overrun.
  std::vector<char> work(DCL_EXPLODE_WORK_SIZE);
  Feed pieces{data + 1, size - 1, 0, data[0], 0, {}};
  const unsigned r1 = dcl_explode(Read, Write, work.data(), &pieces);
  Feed whole{data + 1, size - 1, 0, 0, 0, {}};
  const unsigned r2 = dcl_explode(Read, Write, work.data(), &whole);
  if (r1 != r2 || pieces.out != whole.out || r1 > DCL_CMP_ABORT) std::abort();
  return 0;
}
