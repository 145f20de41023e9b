// Linked into the stub only: replacements for the few pieces of the static C++
// runtime that would otherwise bring most of its size. The runtime's own
// versions build std::logic_error and friends on reference-counted strings
// (a second std::string implementation), and its terminate handler prints
// the exception's demangled type name with printf. Together they were more
// than a third of install.exe. Tests link the runtime's versions, except
// tests/wine/runtime, which checks these as the stub links them.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>  // the runtime's declarations of the functions below

#include <unwind.h>

namespace ssi {
namespace {

// A fault in our own code that a library check caught (an index out of range,
// a string made from a null pointer). The window and the install sequence
// catch it as any std::exception and show the "unexpected failure" box.
class InternalFault final : public std::exception {
 public:
  const char* what() const noexcept override { return "internal fault"; }
};

}  // namespace
}  // namespace ssi

namespace std {

// A string or vector asked to grow beyond what memory can hold: the same case
// as an allocation that fails, and reported as such.
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_logic_error(const char*) { throw ssi::InternalFault(); }
void __throw_out_of_range_fmt(const char*, ...) { throw ssi::InternalFault(); }

}  // namespace std

namespace __gnu_cxx {

// Only reached when an exception leaves a noexcept function or the program
// entry, which the installer's guards are there to prevent.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// Allocation. The runtime's versions call a new-handler in a loop (the stub
// sets none) and build the nothrow forms on the throwing one; with no
// handler these do the same, and a failure throws or returns null at once.
void* operator new(std::size_t size) {
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

// The exception state the C++ runtime keeps per thread. The installer runs
// one thread, so a plain static does; the runtime's own version keeps it in
// emulated thread-local storage, which brings the TLS emulation and thread
// locks along.
namespace {
struct ExceptionGlobals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};
ExceptionGlobals g_exceptionGlobals;
}  // namespace

extern "C" {
void* __cxa_get_globals() noexcept { return &g_exceptionGlobals; }
void* __cxa_get_globals_fast() noexcept { return &g_exceptionGlobals; }
}

// The start-up code's hooks, reduced to what the stub needs. The stub imports
// no data from DLLs (it links with --disable-auto-import, so such an import
// fails the link), which leaves the pseudo-relocation pass nothing to do; the
// runtime's version brings VirtualProtect and a printf-based error report.
// No floating-point library call's error goes to a handler.
extern "C" {
void _pei386_runtime_relocator() {}
int _matherr(void*) { return 0; }
// Nothing in the stub is thread-local, so it needs no TLS directory, nor the
// callbacks that free per-thread data when a thread ends: the start-up code
// skips a null callback.
int __mingw_initltssuo_force = 0;
int __mingw_initltsdyn_force = 0;
int __mingw_initltsdrot_force = 0;
extern void* const __dyn_tls_init_callback;
void* const __dyn_tls_init_callback = nullptr;
}

// The memory for a thrown exception. The runtime's version keeps an
// emergency pool behind a lock (which brings the thread library along); one
// thread needs no lock, and two spare blocks are enough for the exceptions the
// stub throws (std::bad_alloc, InternalFault) while the heap is exhausted, so
// that the out-of-memory box still comes up. Dependent exceptions
// (std::rethrow_exception) are not used: they would bring the runtime's
// version back, and the link would fail on the duplicates.
namespace {
// The runtime's header in front of every thrown object
// (sizeof(__cxa_refcounted_exception) for GCC on 32-bit x86). The test
// stub_exception_header compares it with what the toolchain's own
// __cxa_allocate_exception adds.
constexpr std::size_t kExceptionHeader = 96;
constexpr std::size_t kSpareSize = 128;
alignas(16) unsigned char g_spare[2][kSpareSize];
bool g_spareInUse[2];
}  // namespace

extern "C" {
void* __cxa_allocate_exception(std::size_t size) noexcept {
  const std::size_t total = size + kExceptionHeader;
  void* block = std::malloc(total);
  for (int i = 0; !block && i < 2; ++i) {
    if (g_spareInUse[i] || total > kSpareSize) continue;
    g_spareInUse[i] = true;
    block = g_spare[i];
  }
  if (!block) std::abort();
  std::memset(block, 0, kExceptionHeader);
  return static_cast<unsigned char*>(block) + kExceptionHeader;
}

void __cxa_free_exception(void* object) noexcept {
  unsigned char* const block = static_cast<unsigned char*>(object) - kExceptionHeader;
  for (int i = 0; i < 2; ++i) {
    if (block == g_spare[i]) {
      g_spareInUse[i] = false;
      return;
    }
  }
  std::free(block);
}
}

// Link-time optimisation gives a function that only has cleanups (no try
// block) the C language's personality routine, which would bring a second
// reader of the same unwind tables. For such a function the C++ routine does
// exactly what the C one does: it runs the cleanups and lets the exception
// pass.
extern "C" {
_Unwind_Reason_Code __gxx_personality_v0(int, _Unwind_Action, _Unwind_Exception_Class,
                                         _Unwind_Exception*, _Unwind_Context*);
[[gnu::used]] _Unwind_Reason_Code __gcc_personality_v0(int version, _Unwind_Action actions,
                                                       _Unwind_Exception_Class exceptionClass,
                                                       _Unwind_Exception* exception,
                                                       _Unwind_Context* context) {
  return __gxx_personality_v0(version, actions, exceptionClass, exception, context);
}
}
