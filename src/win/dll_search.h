#pragma once
// Programs started from download folders, or elevated with a current folder
// someone else chose, would load a planted DLL in place of a system one.
// Only System32 is searched for DLLs loaded by name from here on; where the
// system predates that, at least the current folder is dropped. XP lacks
// both calls, so they are looked up.
#include <windows.h>

#include "system_function.h"

namespace ssi {

inline void RestrictDllSearch() {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  const auto setDefault =
      SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
  if (setDefault && setDefault(kSearchSystem32)) return;
  const auto setDirectory =
      SystemFunction<BOOL(WINAPI*)(LPCSTR)>("kernel32.dll", "SetDllDirectoryA");
  if (setDirectory) setDirectory("");
}

}  // namespace ssi
