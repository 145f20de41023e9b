// In-memory drivers for the callback contract.
#include "dcl_buffer.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace ssi::dcl {
namespace {

struct Pipe {
  const uint8_t* data;
  size_t size;
  size_t pos;
  std::vector<uint8_t>* out;
  size_t maxOutput;
  bool overflow;
};

// A sink over its limit reports the input as used up, which stops the
// decoder at its next read.
unsigned int ReadFromPipe(char* buf, unsigned int* size, void* param) {
  auto& p = *static_cast<Pipe*>(param);
  if (p.overflow) return 0;
  const size_t n = std::min<size_t>(*size, p.size - p.pos);
  if (n != 0) std::memcpy(buf, p.data + p.pos, n);
  p.pos += n;
  return static_cast<unsigned int>(n);
}

void WriteToPipe(char* buf, unsigned int* size, void* param) {
  auto& p = *static_cast<Pipe*>(param);
  size_t n = *size;
  if (n > p.maxOutput - p.out->size()) {
    n = p.maxOutput - p.out->size();
    p.overflow = true;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(buf);
  p.out->insert(p.out->end(), bytes, bytes + n);
}

}  // namespace

unsigned int ImplodeBuffer(const uint8_t* data, size_t size, unsigned int type,
                           unsigned int dictSize, std::vector<uint8_t>& out, ImplodeLevel level) {
  out.clear();
  Pipe p{data, size, 0, &out, SIZE_MAX, false};
  const auto work = std::make_unique<char[]>(DCL_IMPLODE_WORK_SIZE);
  return ImplodeAtLevel(ReadFromPipe, WriteToPipe, work.get(), &p, &type, &dictSize, level);
}

unsigned int ExplodeBuffer(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                           size_t maxOutput) {
  out.clear();
  Pipe p{data, size, 0, &out, maxOutput, false};
  const auto work = std::make_unique<char[]>(DCL_EXPLODE_WORK_SIZE);
  const unsigned int result = dcl_explode(ReadFromPipe, WriteToPipe, work.get(), &p);
  return p.overflow ? static_cast<unsigned int>(DCL_CMP_ABORT) : result;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  unsigned long crc = 0xFFFFFFFFul;
  while (size > 0) {
    unsigned int n = static_cast<unsigned int>(std::min<size_t>(size, size_t{1} << 30));
    crc = dcl_crc32(const_cast<char*>(reinterpret_cast<const char*>(data)), &n, &crc);
    data += n;
    size -= n;
  }
  return static_cast<uint32_t>(crc ^ 0xFFFFFFFFul);
}

}  // namespace ssi::dcl
