// impborl.dll links no C or C++ runtime (-nostdlib): the codec needs no heap,
// no exceptions and no static constructors, only an entry point and the three
// memory functions the compiler calls for copies of variable size. Those go
// to kernel32's own (present since Windows 95), so the DLL's only imports are
// system ones every Windows has.
#include <cstddef>

extern "C" {

__declspec(dllimport) void __stdcall RtlMoveMemory(void* to, const void* from, size_t n);
__declspec(dllimport) void __stdcall RtlFillMemory(void* to, size_t n, unsigned char value);

int __stdcall DllEntry(void*, unsigned long, void*) { return 1; }

void* memcpy(void* to, const void* from, size_t n) {
  RtlMoveMemory(to, from, n);
  return to;
}

void* memmove(void* to, const void* from, size_t n) {
  RtlMoveMemory(to, from, n);
  return to;
}

void* memset(void* to, int value, size_t n) {
  RtlFillMemory(to, n, static_cast<unsigned char>(value));
  return to;
}
}
