// The program entry: the process set-up (a safe DLL search, secured COM for
// the Flash preview and the shell), common controls for the progress bar,
// then the installer window.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "installer_form.h"
#include "message_box.h"
#include "messages.h"
#include "process_start.h"

namespace {

void RunMessageLoop(const ssi::TInstallerForm& form) {
  MSG message;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
    if (!form.Handle() || !IsDialogMessageA(form.Handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

// The exit code tells a script what came of the run (ExitCode).
int Run(HINSTANCE instance) {
  ssi::TInstallerForm form(instance, ssi::msg::kApplicationTitle);
  // A silent payload has installed and closed inside the creation already.
  if (form.DisplayMode() != 4 && form.Handle()) {
    form.Show();
    RunMessageLoop(form);
  }
  return static_cast<int>(form.Outcome());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const bool ole = ssi::StartProcess();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  int exitCode = 0;
  try {
    exitCode = Run(instance);
  } catch (const std::bad_alloc&) {
    ssi::ShowAbortBox(nullptr, ssi::msg::kOutOfMemory, ssi::msg::kErrorTitle, MB_ICONERROR);
    exitCode = static_cast<int>(ssi::ExitCode::kFailed);
  }
  ssi::EndProcess(ole);
  return exitCode;
}
