#pragma once
// The stub learns where its payload starts from a 20-byte field inside its own
// image: 16 marker bytes, then the payload offset as a little-endian 32-bit
// value. The stub is built with the value 0; the builder finds the marker (it
// must occur exactly once in the stub) and writes the stub's size behind it.
// A stub that was never given a payload thus reads offset 0 and refuses to
// read a header.
#include <cstddef>
#include <cstdint>

namespace ssi {

constexpr size_t kPayloadOffsetMarkerSize = 16;
constexpr size_t kPayloadOffsetFieldSize = kPayloadOffsetMarkerSize + 4;
// Spelled out byte by byte (not as a string literal) so that only the stub's
// own field, never this constant, puts the sequence into the stub's image.
constexpr uint8_t kPayloadOffsetMarker[kPayloadOffsetMarkerSize] = {
    0x53, 0x53, 0x49, 0x2D, 0x50, 0x41, 0x59, 0x4C, 0x4F, 0x41, 0x44, 0x2D, 0x41, 0x54, 0x3A, 0x7E};
// = "SSI-PAYLOAD-AT:~"

}  // namespace ssi
