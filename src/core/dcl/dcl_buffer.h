#pragma once
// In-memory conveniences over the callback contract of dcl.h, for the builder,
// tests and benchmarks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dcl.h"
#include "dcl_level.h"

namespace ssi::dcl {

// Implodes `size` bytes; type DCL_CMP_BINARY/DCL_CMP_ASCII, dictSize
// 1024/2048/4096. Returns a DCL_CMP_* code.
unsigned int ImplodeBuffer(const uint8_t* data, size_t size, unsigned int type,
                           unsigned int dictSize, std::vector<uint8_t>& out,
                           ImplodeLevel level = ImplodeLevel::kDefault);

// Explodes a whole stream. Stops with DCL_CMP_ABORT once the output would
// exceed `maxOutput` bytes, so hostile input cannot exhaust memory. Returns a
// DCL_CMP_* code; `out` holds what was decoded either way.
unsigned int ExplodeBuffer(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                           size_t maxOutput = SIZE_MAX);

// CRC-32 of a whole buffer, with the start value and final inversion done.
uint32_t Crc32(const uint8_t* data, size_t size);

}  // namespace ssi::dcl
