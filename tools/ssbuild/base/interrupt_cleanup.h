#pragma once
// Files a build is writing (OUT.part, a helper's OUT.part-N, an output being
// signed) are deleted when the build is interrupted: Ctrl-C, SIGTERM or a
// closed terminal on Linux; Ctrl-C, Ctrl-Break, closing the console, logging
// off or shutting down on Windows. Other failures remove them on their own
// paths; this covers the ones that never return.
#include <string>

namespace ssbuild {

// Installs the handlers; main calls it once. Without it (in-process tests)
// the guards below only keep their list.
void InstallInterruptCleanup();

// Keeps `path` on the list of files an interrupt deletes while it lives.
class RemoveOnInterrupt {
 public:
  explicit RemoveOnInterrupt(const std::string& path);
  ~RemoveOnInterrupt();
  RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
  RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;

 private:
  int slot_;  // -1: the list was full (the normal failure paths still remove the file)
};

}  // namespace ssbuild
