// The stub's own exception runtime (src/app/lean_runtime.cpp) in a program
// linked the way the stub is: exceptions thrown, caught, nested and rethrown,
// with the heap available and with it exhausted (the out-of-memory case the
// spare blocks are for). A wrong header size or a spare block not given back
// shows as a crash or a failed line here. No test framework: it would bring
// the runtime's own versions of what is replaced.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include <process.h>
#include <windows.h>

namespace {

int g_failures = 0;

void Expect(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what);
    ++g_failures;
  }
}

// Volatile, so that the compiler cannot see through the sizes.
volatile std::size_t g_huge = static_cast<std::size_t>(-1) / 2;
volatile std::size_t g_index = 3;

void ThrowBadAlloc() {
  void* p = ::operator new(g_huge);
  ::operator delete(p);
}

int g_cleanups = 0;

struct CountsCleanup {
  ~CountsCleanup() { ++g_cleanups; }
};

// Frames with cleanups and no try block, which link-time optimisation may
// give the C personality routine (the stub routes it to the C++ one): the
// exception passes through them and their destructors run.
[[gnu::noinline]] void ThrowThroughCleanups(int depth) {
  CountsCleanup counted;
  std::string text(static_cast<std::size_t>(depth) + 4, 'x');  // no heap: short
  if (depth == 0) {
    ThrowBadAlloc();
  } else {
    ThrowThroughCleanups(depth - 1);
  }
  text += 'y';
}

// Frames that change the registers a function keeps for its caller (ebx,
// esi, edi, ebp), so that the values of the catching frame, which the
// compiler keeps in those registers across the call, come back only if the
// unwinder reads them from where each frame saved them.
[[gnu::noinline]] void ClobberAndThrow(int depth) {
  asm volatile("movl $0x11111111, %%ebx\n\tmovl $0x22222222, %%esi\n\tmovl $0x33333333, %%edi"
               :
               :
               : "ebx", "esi", "edi");
  if (depth == 0) {
    ThrowBadAlloc();
  } else {
    ClobberAndThrow(depth - 1);
  }
  asm volatile("" ::: "memory");  // not a tail call: this frame stays
}

volatile unsigned g_seed = 7;

[[gnu::noinline]] bool KeepsRegistersAcrossThrow() {
  const unsigned a = g_seed * 3, b = g_seed * 5, c = g_seed * 11, d = g_seed * 13;
  unsigned caught = 0;
  try {
    ClobberAndThrow(2);
  } catch (const std::bad_alloc&) {
    caught = a + (b << 8) + (c << 16) + (d << 24);
  }
  return caught == 21u + (35u << 8) + (77u << 16) + (91u << 24);
}

// What the window and the install sequence do: bad_alloc for the box, any
// other std::exception as an unexpected failure; inside the handler a second
// exception is thrown and caught, then the first rethrown.
void ThrowCatchNestRethrow(const char* stage) {
  bool outer = false, inner = false, rethrown = false, fault = false;
  try {
    try {
      ThrowBadAlloc();
    } catch (const std::bad_alloc&) {
      outer = true;
      try {
        std::vector<int> empty;
        (void)empty.at(g_index);
      } catch (const std::exception& e) {
        inner = true;
        fault = std::strcmp(e.what(), "internal fault") == 0;
      }
      throw;
    }
  } catch (const std::bad_alloc&) {
    rethrown = true;
  }
  g_cleanups = 0;
  bool passed = false;
  try {
    ThrowThroughCleanups(3);
  } catch (const std::bad_alloc&) {
    passed = true;
  }
  std::printf("%s: through cleanups %d, destructors run %d\n", stage, passed, g_cleanups);
  Expect(passed && g_cleanups == 4, stage);
  std::printf("%s: outer %d inner %d fault %d rethrown %d\n", stage, outer, inner, fault, rethrown);
  Expect(outer && inner && fault && rethrown, stage);
  const bool kept = KeepsRegistersAcrossThrow();
  std::printf("%s: the catching frame's registers kept %d\n", stage, kept);
  Expect(kept, stage);
}

// Takes every block malloc gives, largest first, and chains them through
// their own first bytes so that holding them needs no memory.
void* ExhaustHeap() {
  void* chain = nullptr;
  for (std::size_t size = std::size_t{1} << 26; size >= sizeof(void*); size /= 2) {
    while (void* block = std::malloc(size)) {
      *static_cast<void**>(block) = chain;
      chain = block;
    }
  }
  return chain;
}

void ReleaseHeap(void* chain) {
  while (chain) {
    void* next = *static_cast<void**>(chain);
    std::free(chain);
    chain = next;
  }
}

// An exception no handler catches: the search walks off the program's
// frames into the system's, which have no unwind records, and the runtime
// terminates (abort: exit code 3) instead of reading past the stack.
void ExpectUncaughtTerminates() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const intptr_t code =
      n != 0 && n < MAX_PATH ? _wspawnl(_P_WAIT, self, self, L"uncaught", nullptr) : -1;
  std::printf("uncaught exception: exit code %d\n", static_cast<int>(code));
  Expect(code == 3, "an uncaught exception terminates");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "uncaught") == 0) {
    ThrowBadAlloc();
    return 0;
  }
  ExpectUncaughtTerminates();
  ThrowCatchNestRethrow("heap available");
  void* held = ExhaustHeap();
  Expect(std::malloc(64) == nullptr, "heap exhausted");
  ThrowCatchNestRethrow("heap exhausted");
  ThrowCatchNestRethrow("heap exhausted, spare blocks given back");
  ReleaseHeap(held);
  ThrowCatchNestRethrow("heap available again");
  std::string text(40, 'x');  // a string's growth reaches the heap again
  text += text;
  Expect(text.size() == 80, "string after the heap came back");
  if (g_failures == 0) std::printf("lean runtime: all cases passed\n");
  return g_failures == 0 ? 0 : 1;
}
