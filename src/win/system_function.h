#pragma once
// A function of a system DLL that is already loaded, looked up by name: for
// what Windows XP lacks, or ntdll exports without an import library entry.
#include <windows.h>

namespace ssi {

template <typename Fn>
Fn SystemFunction(const char* module, const char* name) {
  const HMODULE loaded = GetModuleHandleA(module);
  return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name)))
                : nullptr;
}

}  // namespace ssi
