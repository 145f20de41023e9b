// Linked into the stub only: the program's start, in place of the C
// runtime's. The runtime's version parses the command line into argv and the
// environment, installs a handler that turns processor exceptions into
// signals and resets the floating-point unit, none of which the stub uses
// (it reads GetCommandLineW itself, and computes nothing in floating point),
// and links the unwinder's frame registration, which it does not need either
// (unwinder.cpp).
#include <windows.h>

#include <cstdlib>

extern "C" {
void __main();              // runs the constructors the linker listed
void __set_app_type(int);   // msvcrt
constexpr int kGuiApp = 2;  // _GUI_APP: the runtime's own errors come in a box

// What constructors and the C++ runtime register to run at exit, kept by
// msvcrt as the runtime's start would have it kept.
int atexit(void (*function)()) {
  return _onexit(reinterpret_cast<_onexit_t>(reinterpret_cast<void*>(function))) ? 0 : -1;
}

// The system calls the entry on a stack aligned to 4 bytes only.
[[noreturn, gnu::force_align_arg_pointer, gnu::used, gnu::externally_visible]] void
WinMainCRTStartup() {
  __set_app_type(kGuiApp);
  __main();
  char noArguments[] = "";
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, noArguments, SW_SHOWDEFAULT));
}
}
