// impborl.dll links no C or C++ runtime (-nostdlib): the codec needs no heap,
// no exceptions and no static constructors, only an entry point and the three
// memory functions the compiler calls. These are plain byte loops, built
// without the optimisation that would turn them back into calls to themselves.
#include <cstddef>

extern "C" {

int __stdcall DllEntry(void*, unsigned long, void*) { return 1; }

void* memcpy(void* to, const void* from, size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  const auto* s = static_cast<const unsigned char*>(from);
  while (n-- != 0) *d++ = *s++;
  return to;
}

void* memmove(void* to, const void* from, size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  const auto* s = static_cast<const unsigned char*>(from);
  if (d < s) {
    while (n-- != 0) *d++ = *s++;
  } else {
    while (n-- != 0) d[n] = s[n];
  }
  return to;
}

void* memset(void* to, int value, size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  while (n-- != 0) *d++ = static_cast<unsigned char>(value);
  return to;
}
}
