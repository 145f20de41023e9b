#pragma once
// How hard implode searches, beyond the classic contract of dcl.h (whose
// dcl_implode is the default level). Every level writes a valid stream for
// any decoder; they differ in size and speed only.
#include "dcl.h"

namespace ssi::dcl {

enum class ImplodeLevel {
  kFast,     // greedy matching, one step of lazy evaluation: quicker, a little larger
  kDefault,  // within about 1% of the smallest stream the format allows
  kBest,     // up to 256 candidates a position: within about 0.05% of the smallest stream
};

unsigned int ImplodeAtLevel(dcl_read_fn read_buf, dcl_write_fn write_buf, char* work_buf,
                            void* param, unsigned int* type, unsigned int* dsize,
                            ImplodeLevel level);

}  // namespace ssi::dcl
