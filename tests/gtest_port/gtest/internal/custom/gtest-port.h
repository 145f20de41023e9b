#pragma once
// Found before GoogleTest's own (empty) file of this name in the Win32 build.
// The toolchain's win32 thread model, which keeps what we ship free of
// imports that Windows XP lacks, has no std::mutex or condition_variable;
// GoogleTest uses them for one class only, Notification, which this file
// provides instead. Our tests never start threads through GoogleTest, so a
// plain flag that the waiter spins on is enough.
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
