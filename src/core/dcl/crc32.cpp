// The DCL's crc32 entry: one step of the standard (reflected, 0xEDB88320)
// CRC-32; the caller starts with 0xFFFFFFFF and inverts the final value.
#include <array>
#include <cstdint>

#include "dcl.h"

namespace {

constexpr std::array<uint32_t, 256> BuildCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[n] = c;
  }
  return t;
}

constexpr std::array<uint32_t, 256> kCrcTable = BuildCrcTable();

}  // namespace

extern "C" unsigned long dcl_crc32(char* buffer, unsigned int* size, unsigned long* old_crc) {
  uint32_t crc = old_crc != nullptr ? static_cast<uint32_t>(*old_crc) : 0xFFFFFFFFu;
  if (buffer == nullptr || size == nullptr) return crc;
  const auto* p = reinterpret_cast<const uint8_t*>(buffer);
  for (unsigned int i = 0; i < *size; ++i) crc = kCrcTable[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
  return crc;
}
