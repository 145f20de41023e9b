#include "interrupt_cleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "native_file.h"
#else
#include <unistd.h>
#endif

namespace ssbuild {
namespace {

// A fixed table, because a signal handler may neither allocate nor lock: a
// slot's path is written before its state turns kInUse and read only then.
constexpr int kSlots = 64;
constexpr size_t kPathMax = 4096;
enum SlotState : int { kFree, kClaimed, kInUse };
std::atomic<int> g_state[kSlots];
char g_path[kSlots][kPathMax];

void RemoveAll() {
  for (int i = 0; i < kSlots; ++i) {
    if (g_state[i].load() != kInUse) continue;
#ifdef _WIN32
    DeleteFileW(WideFromUtf8(g_path[i]).c_str());
#else
    unlink(g_path[i]);
#endif
  }
}

#ifdef _WIN32
// Runs on a thread of its own. The files were opened with FILE_SHARE_DELETE,
// so they go when the process ends and closes them; FALSE lets the default
// handler end it.
BOOL WINAPI OnConsoleEvent(DWORD) {
  RemoveAll();
  return FALSE;
}
#else
void OnSignal(int signal) {
  RemoveAll();
  std::signal(signal, SIG_DFL);
  std::raise(signal);  // the parent sees the signal, as if nothing had caught it
}
#endif

}  // namespace

void InstallInterruptCleanup() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
#endif
}

RemoveOnInterrupt::RemoveOnInterrupt(const std::string& path) : slot_(-1) {
  if (path.size() >= kPathMax) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_state[i].compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(g_path[i], path.c_str(), path.size() + 1);
    g_state[i].store(kInUse);
    slot_ = i;
    return;
  }
}

RemoveOnInterrupt::~RemoveOnInterrupt() {
  if (slot_ >= 0) g_state[slot_].store(kFree);
}

}  // namespace ssbuild
