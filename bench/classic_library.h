#pragma once
// The classic DCL implementation, loaded from a shared library that exports
// it under its classic names (`implode`, `explode`, same contract as dcl.h):
// Debian's libstorm9 does. Timing it in the same run as ours gives speed
// multiples that hold on any machine, where fixed figures drift with the
// hardware and its load.
#include <cstring>
#include <string>

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "dcl.h"

struct ClassicLibrary {
  using ImplodeFn = unsigned int (*)(dcl_read_fn, dcl_write_fn, char*, void*, unsigned int*,
                                     unsigned int*);
  using ExplodeFn = unsigned int (*)(dcl_read_fn, dcl_write_fn, char*, void*);
  ImplodeFn implode = nullptr;
  ExplodeFn explode = nullptr;
  // The classic work areas are a little smaller than ours; these leave room.
  static constexpr unsigned kWorkSize = 64 * 1024;

  // Empty on success, else why not. The library exists for Linux only.
  std::string Load(const std::string& path) {
#ifdef _WIN32
    return "the classic library is loaded on Linux only: " + path;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return dlerror();
    void* i = dlsym(module, "implode");
    void* e = dlsym(module, "explode");
    if (i == nullptr || e == nullptr) return path + " exports no implode and explode";
    // Object to function pointer: copied, as the cast is only conditionally allowed.
    std::memcpy(&implode, &i, sizeof implode);
    std::memcpy(&explode, &e, sizeof explode);
    return {};
#endif
  }
};
