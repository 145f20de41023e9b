#pragma once
// One small owner per kind of Win32 handle: no copies, moves allowed, the
// right "empty" value for each kind.
#include <windows.h>

#include <utility>

namespace ssi {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Type get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Empty(); }
  Type release() { return std::exchange(h_, Traits::Empty()); }
  // Closes the handle now; returns false when the system refused to close it.
  bool reset(Type h = Traits::Empty()) {
    bool ok = true;
    if (h_ != Traits::Empty()) ok = Traits::Close(h_);
    h_ = h;
    return ok;
  }
  Type* put() {
    reset();
    return &h_;
  }

 private:
  Type h_ = Traits::Empty();
};

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};
struct KernelHandleTraits {  // processes, threads, events: NULL when empty
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool Close(Type h) { return FindClose(h) != FALSE; }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static bool Close(Type h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static bool Close(Type h) { return FreeLibrary(h) != FALSE; }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Empty() { return nullptr; }
  static bool Close(Type h) { return DeleteObject(h) != FALSE; }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using Module = UniqueHandle<ModuleTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;

}  // namespace ssi
