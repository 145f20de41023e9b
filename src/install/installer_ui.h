#pragma once
// The one seam between the install steps and the screen. The installer window
// implements it; tests implement it to capture texts and skip the waits.
// Everything else the steps do calls Win32 directly.
#include <windows.h>

#include <string>

namespace ssi {

class InstallerUi {
 public:
  virtual ~InstallerUi() = default;
  // Status line and progress bar; both do nothing during a silent install.
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void StepProgress() = 0;  // one step, then Pause
  virtual void Pause() = 0;         // one timer interval, messages handled meanwhile
  // The progress bar at its maximum (true) or back at 0 (false).
  virtual void SetProgressFull(bool full) = 0;
  // Modal boxes with a single "&Abort" button; their answer is ignored.
  virtual void ShowErrorBox(const std::string& text) = 0;        // title "Error", error icon
  virtual void ShowInformationBox(const std::string& text) = 0;  // title "Information"
  // After Display Properties opened: focus, repaint, show and raise the window.
  virtual void BringToFront() = 0;
  // The panel that hosts the preview (a movie player's parent); may be null.
  virtual HWND ContentPanel() = 0;
};

}  // namespace ssi
