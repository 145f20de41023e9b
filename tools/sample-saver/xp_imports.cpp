// The static thread library that the C++ runtime brings along calls
// GetTickCount64, which XP's kernel32 lacks: one such import and the program
// does not start there at all. Defining the import's pointer here keeps the
// linker from taking it from kernel32, and the call goes to the system's
// GetTickCount64 where there is one, else to a 64-bit count made from
// GetTickCount (the runtime only measures short waits with it).
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  using Fn = ULONGLONG(WINAPI*)();
  static Fn system = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
  if (system) return system();
  return GetTickCount();
}

}  // namespace

extern "C" {
// The name the import library gives the pointer: __imp__ + the stdcall name.
extern void* const kGetTickCount64Import __asm__("__imp__GetTickCount64@0");
void* const kGetTickCount64Import = reinterpret_cast<void*>(&TickCount64);
}
