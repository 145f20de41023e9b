// Linked into test builds only (see test_build.h).
#include "test_build.h"

#include <windows.h>

#include <cstddef>
#include <new>

#include "activation.h"
#include "pause_interval.h"

namespace ssi {

SetScreenSaverActiveFn g_setScreenSaverActive = &SetScreenSaverActiveThroughSystem;

// With SSI_SWITCH_OUT_OF_MEMORY set, the switch first asks for more memory
// than any heap holds, so that the tests see the program's own exception
// path (its allocation, unwinder and handlers) from the throw to the box.
bool SetScreenSaverActive() {
  if (GetEnvironmentVariableA("SSI_SWITCH_OUT_OF_MEMORY", nullptr, 0) != 0) {
    volatile std::size_t huge = static_cast<std::size_t>(-1) / 2;
    ::operator delete(::operator new(huge));
  }
  return g_setScreenSaverActive();
}

// Tests shorten the one-second pauses with SSI_PAUSE_MS (milliseconds,
// 0..60000); nothing the user sees changes. Read once.
UINT PauseIntervalMs() {
  static const UINT interval = [] {
    char value[16] = {};
    const DWORD n = GetEnvironmentVariableA("SSI_PAUSE_MS", value, sizeof value);
    if (n == 0 || n >= sizeof value) return 1000U;
    UINT ms = 0;
    for (DWORD i = 0; i < n; ++i) {
      if (value[i] < '0' || value[i] > '9') return 1000U;
      ms = ms * 10 + static_cast<UINT>(value[i] - '0');
      if (ms > 60000) return 1000U;
    }
    return ms;
  }();
  return interval;
}

}  // namespace ssi
