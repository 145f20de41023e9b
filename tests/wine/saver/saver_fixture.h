#pragma once
// What the screen saver tests start from: the program as the build made it,
// placed in the Windows directory the way the installer leaves it, started
// with a command line and watched through the window driver.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "process_driver.h"
#include "window_driver.h"

namespace ssi::saver_test {

constexpr DWORD kStartMs = 30000;  // a Wine program start on a loaded machine
constexpr const char* kSaverClass = "SsiScreenSaver";

// One run of the screen saver program, ended for sure with the test.
class SaverRun {
 public:
  ~SaverRun();
  bool Start(const std::string& program, const std::string& arguments);
  // Starts a whole command line as it is, as the system starts an uninstall
  // entry's command (the program's path unquoted).
  bool StartCommandLine(std::string commandLine);
  // Waits for the end, answering each message box with the button whose
  // caption (without its "&") is `answer`, or the first one.
  bool WaitForEnd(DWORD timeoutMs, const std::string& answer = {});
  // Answers the next message box of the run with `answer`; false when none
  // came before the timeout or the end.
  bool AnswerNextBox(const std::string& answer, DWORD timeoutMs);
  // A visible top-level window of the run with `className` (or a dialog box
  // titled `title`), null at the timeout or when the run ended.
  HWND WaitForWindow(const std::string& className, const std::string& title, DWORD timeoutMs);

  DWORD exitCode = 0xFFFFFFFF;
  std::vector<driver::MessageBoxContent> boxes;
  DWORD Pid() const { return started_.pid; }
  HANDLE Process() const { return started_.process.get(); }

 private:
  bool AnswerBox(const std::string& answer);
  driver::StartedProcess started_;
};

// "title: text" of every box.
std::string Describe(const std::vector<driver::MessageBoxContent>& boxes);

class SaverTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // C:\windows\<name>.scr (the program as built) and "<name> dir" with
  // `files`; `settings` becomes saver.dat when not empty.
  void PlaceSaver(const std::string& name, const std::map<std::string, std::string>& files,
                  const std::string& settings = {});
  std::string ProgramOf(const std::string& name) const { return windowsDir_ + name + ".scr"; }
  std::string FolderOf(const std::string& name) const { return windowsDir_ + name + " dir\\"; }

  // The colour at the centre of a screen rectangle, as the screen shows it.
  static COLORREF ColourAt(const RECT& area);

  std::string program_;  // the bytes of the screen saver program
  std::string windowsDir_;
};

// Solid-colour pictures, 64 by 48: a 24-bit bitmap file.
std::string SolidBitmap(COLORREF colour);

bool Near(COLORREF a, COLORREF b);  // within a few steps per channel

}  // namespace ssi::saver_test
