#pragma once
// One run of an installer under test: started from a throw-away folder,
// watched through the window driver, its error boxes read and answered, and
// ended for sure when the test is over.
#include <windows.h>

#include <string>
#include <vector>

#include "process_driver.h"
#include "window_driver.h"

namespace ssi::e2e {

// Bounds for every wait of the end-to-end tests. Starting a program under
// Wine takes a second or two, a set-up a few more; but a Flash check without
// a Flash player makes 10000 failed creations back to back, which takes 2 s on
// an idle machine and more than 20 s while other tests load both cores. The
// bounds are generous because a passing test never waits for them.
constexpr DWORD kWindowTimeoutMs = 120000;
constexpr DWORD kExitTimeoutMs = 120000;

class InstallerSession {
 public:
  InstallerSession() = default;
  ~InstallerSession();
  InstallerSession(const InstallerSession&) = delete;
  InstallerSession& operator=(const InstallerSession&) = delete;

  // Writes `image` to a fresh folder as `fileName` and starts it, with
  // `argument` on its command line when not empty.
  bool Launch(const std::string& image, const std::string& fileName = "setup.exe",
              const std::string& argument = {});
  // Writes `image` as setup.exe into `folder`, which may hold other files
  // already, and starts it in `workingFolder`.
  bool LaunchIn(const std::string& folder, const std::string& workingFolder,
                const std::string& image);

  // Waits for the installer's window, answering every message box that comes
  // first. Null when the process ended or the time ran out.
  HWND WaitForForm(DWORD timeoutMs = kWindowTimeoutMs);

  // Waits for the process to end, answering message boxes meanwhile.
  bool WaitForEnd(DWORD timeoutMs = kExitTimeoutMs);

  // Reads, records and answers one message box if one is showing.
  bool AnswerMessageBox();

  DWORD Pid() const { return started_.pid; }
  HANDLE Process() const { return started_.process.get(); }
  const std::string& InstallerPath() const { return installerPath_; }
  DWORD ExitCode() const { return exitCode_; }

  // Every message box answered so far, in order.
  std::vector<driver::MessageBoxContent> boxes;
  std::string launchError;

 private:
  HWND FindForm() const;
  HWND FindMessageBox() const;

  driver::StartedProcess started_;
  std::string installerPath_;
  DWORD exitCode_ = 0;
};

// "title: text | buttons" of every box, for failure messages.
std::string DescribeBoxes(const std::vector<driver::MessageBoxContent>& boxes);

}  // namespace ssi::e2e
