#include "payload_offset.h"
// placeholder: to be written
namespace ssi {
int64_t PayloadOffset() { return 0; }
}  // namespace ssi
