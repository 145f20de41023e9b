#pragma once
#include <cstdint>

namespace ssi {
// Where the payload header starts in this stub's installer file: the stub's
// own size, written into the stub by the builder. 0 in a stub that was never
// given a payload.
int64_t PayloadOffset();
}  // namespace ssi
