#pragma once
// Driving the Flash stand-ins from a test: register or remove the stand-in
// control, set what it is to do, read the calls it logged, a window with a
// panel to host it, and a hand-made payload that carries a Flash installer.
#include <windows.h>

#include <string>
#include <vector>

#include "installer.h"
#include "recording_ui.h"

namespace ssi::test {

// The stand-in control's file and the stand-in flashax.exe (Wine paths).
std::string StandinControlPath();
std::string StandinInstallerPath();

// Registers (or removes) the stand-in under the Shockwave Flash class, in
// this process, as DllRegisterServer does it.
void RegisterStandinControl();
void UnregisterStandinControl();

// The stand-in's settings (see flash_standin.h) and its log of calls.
void SetStandinNumber(const char* name, DWORD value);
void SetStandinText(const char* name, const std::string& value);
void ResetStandin();  // settings cleared, log emptied
void ClearStandinLog();
std::vector<std::string> StandinLog();
// Waits up to `ms` for a line to appear in the log.
bool WaitForLogLine(const std::string& line, DWORD ms);

// A top-level window with the installer's content panel, 352 by 152.
class HostWindow {
 public:
  HostWindow();
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND Window() const { return window_; }
  HWND Panel() const { return panel_; }
  // The stand-in's window inside the panel, if there is one.
  HWND ControlWindow() const;
  // Destroys the window now; true when the system did.
  bool Destroy();

 private:
  HWND window_ = nullptr;
  HWND panel_ = nullptr;
};

// An Installer on the prefix's Windows directory, with a temporary copy that
// holds `flashInstaller` (when not empty) as payload entry 2, "flashax.exe".
struct FlashInstallerFixture {
  RecordingUi ui;
  Installer in{ui};
  explicit FlashInstallerFixture(const std::string& flashInstaller);
};

void PumpMessages();

}  // namespace ssi::test
