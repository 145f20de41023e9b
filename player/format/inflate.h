#pragma once
// A zlib stream (RFC 1950 wrapper around RFC 1951 deflate) decoded whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace player {

// Appends the decoded bytes of the zlib stream in [data, data+size) to `out`,
// stopping with an error once `out` would exceed `limit` bytes. Returns ""
// on success or a message naming the damage. A stream cut short keeps what
// was decoded so far in `out` (movies are often truncated by a byte or two).
std::string Inflate(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out);

}  // namespace player
