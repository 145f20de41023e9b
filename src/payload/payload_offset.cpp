#include "payload_offset.h"

// The field the builder patches: 16 marker bytes ("SSI-PAYLOAD-AT:~"), then
// the payload offset, little-endian, 0 until the builder writes the stub's
// size. Kept in the image (`used`), and read through a volatile pointer so
// the compiler cannot fold the zero it was built with into the code. The
// marker is spelled here and nowhere else in the stub, so the builder finds
// it exactly once.
extern "C" {
extern volatile const unsigned char ssi_payload_offset_field[20];
__attribute__((used)) volatile const unsigned char ssi_payload_offset_field[20] = {
    0x53, 0x53, 0x49, 0x2D, 0x50, 0x41, 0x59, 0x4C, 0x4F, 0x41,
    0x44, 0x2D, 0x41, 0x54, 0x3A, 0x7E, 0x00, 0x00, 0x00, 0x00};
}

namespace ssi {

int64_t PayloadOffset() {
  const volatile unsigned char* value = ssi_payload_offset_field + 16;
  const uint32_t offset = static_cast<uint32_t>(value[0]) | (static_cast<uint32_t>(value[1]) << 8) |
                          (static_cast<uint32_t>(value[2]) << 16) |
                          (static_cast<uint32_t>(value[3]) << 24);
  return offset;
}

}  // namespace ssi
