#pragma once
// The payload offset field inside the stub's image (see payload_offset_field.h
// in the core): 16 marker bytes, then the offset as little-endian 32 bits.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

// Positions of the marker within the first `limit` bytes of `image`.
std::vector<size_t> FindPayloadOffsetMarkers(const Bytes& image, size_t limit);

// Writes the stub's own size behind its marker. Refuses a stub without the
// marker, with more than one, or whose field already holds a value other
// than 0 (a fresh stub) or its own size (a stub taken from an installer).
Status StampPayloadOffset(Bytes& stub);

// The value of the field at `markerPos`.
uint32_t ReadPayloadOffsetField(const Bytes& image, size_t markerPos);

}  // namespace ssbuild
