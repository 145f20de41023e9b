#include "install_sequence.h"

#include <windows.h>

#include <exception>
#include <new>
#include <string>

#include "activation.h"
#include "error_box.h"
#include "file_replace.h"
#include "flash_support.h"
#include "messages.h"
#include "path_rules.h"
#include "payload_reader.h"
#include "settings_file.h"
#include "work_paths.h"

namespace ssi {
namespace {

// Failures that escape a step are rare here (the steps return codes), but
// running out of memory can still throw. Each becomes a code and a box, so
// that the run always reaches its end and the window can close.
void ReportEscapedFailure(Installer& in, const char* text) noexcept {
  try {
    in.ui.ShowErrorBox(text);
  } catch (...) {
    // Not even the box could be shown; the final status still tells.
  }
}

template <typename Step>
ResultCode Guarded(Installer& in, Step step) noexcept {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    ReportEscapedFailure(in, msg::kOutOfMemory);
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    ReportEscapedFailure(in, msg::kUnexpectedFailure);
    return rc::kUnspecified;
  }
}

// Steps without a result of their own, run under the same guard.
template <typename Step>
ResultCode GuardedAction(Installer& in, Step step) noexcept {
  return Guarded(in, [&] {
    step();
    return rc::kOk;
  });
}

// The data file is deleted only when it lies in the screen saver's folder.
void DeleteDataFile(const Installer& in) {
  const std::string& path = in.paths.dataFilePath;
  const std::string& folder = in.paths.saverDir;
  if (folder.empty() || path.compare(0, folder.size(), folder) != 0) return;
  if (!IsPlainFileName(path.substr(folder.size()))) return;
  DeleteFileOnce(path);
}

// After a successful activation: show the result, the read-me, register.
ResultCode HandOverToSystem(Installer& in) {
  ResultCode a = GuardedAction(in, [&] { OpenDisplayProperties(in); });
  if (a == rc::kOk) a = GuardedAction(in, [&] { OpenReadMe(in); });
  // A failed registration does not fail the install; it reports itself.
  if (a == rc::kOk) a = GuardedAction(in, [&] { WriteUninstallEntry(in); });
  return a;
}

ResultCode RunInteractiveSteps(Installer& in) {
  InstallerUi& ui = in.ui;
  ResultCode a = Guarded(in, [&] { return ExtractInstallFiles(in, in.paths.tempCopyPath); });
  if (a == rc::kOk) a = Guarded(in, [&] { return ReadSettingsRecord(in); });
  if (a == rc::kOk) {
    ui.ShowStatus(msg::kExpandingFiles);
    a = Guarded(in, [&] { return ExpandDataFile(in); });
    ui.StepProgress();
  }
  if (a == rc::kOk) a = Guarded(in, [&] { return WriteSettingsFile(in); });
  if (a == rc::kOk) a = Guarded(in, [&] { return ActivateScreenSaver(in); });
  if (a == rc::kOk) a = HandOverToSystem(in);
  if (a == rc::kOk) ui.ShowStatus(msg::kInstallComplete);
  return a;
}

ResultCode RunSilentSteps(Installer& in) {
  ResultCode a = Guarded(in, [&] {
    ResultCode flash = rc::kOk;
    // The install goes on whether or not the player can be created now.
    RunFlashCheck(in, flash);
    return flash;
  });
  if (a == rc::kOk) a = Guarded(in, [&] { return ExtractInstallFiles(in, in.paths.tempCopyPath); });
  if (a == rc::kOk) a = Guarded(in, [&] { return ReadSettingsRecord(in); });
  if (a == rc::kOk) a = Guarded(in, [&] { return ExpandDataFile(in); });
  if (a == rc::kOk) a = Guarded(in, [&] { return WriteSettingsFile(in); });
  if (a == rc::kOk) a = Guarded(in, [&] { return ActivateScreenSaver(in); });
  if (a == rc::kOk) a = HandOverToSystem(in);
  return a;
}

void SetCursorShape(const char* shape) { SetCursor(LoadCursor(nullptr, shape)); }

}  // namespace

bool RunFlashCheck(Installer& in, ResultCode& result) {
  result = rc::kOk;
  if (FlashPlayerAvailable()) return true;
  result = ExtractFlashInstaller(in);
  if (result == rc::kOk) result = RunFlashInstaller(in);
  if (result != rc::kOk) return false;
  return FlashPlayerAvailable();
}

ResultCode InstallInteractively(Installer& in) {
  InstallerUi& ui = in.ui;
  ResultCode a = rc::kUnspecified;
  try {
    ui.ShowStatus(msg::kPreparing);
    ui.StepProgress();
    a = RunInteractiveSteps(in);
    if (a != rc::kOk) {
      ui.ShowStatus(msg::FailedStatus(a));
      CleanUpFailedInstall(in);
    }
    ui.SetProgressFull(true);
    ui.Pause();
    ui.Pause();
    // saver.ini does not outlive the install, nor does the data file unless
    // a failed expansion still holds it open.
    in.saverIni.reset();
    DeleteFileOnce(in.paths.saverIniPath);
    DeleteDataFile(in);
    ui.SetProgressFull(false);
  } catch (...) {
    // Only the status and clean-up texts can get here (out of memory while
    // building them); the caller still clears Busy and closes the window.
  }
  return a;
}

ResultCode InstallSilently(Installer& in) {
  if (in.busy) return rc::kUnspecified;  // this call installs nothing
  SetCursorShape(IDC_WAIT);
  in.busy = true;
  ResultCode a = rc::kOk;
  try {
    CloseDisplayProperties();
    a = RunSilentSteps(in);
  } catch (...) {
    a = rc::kUnspecified;
  }
  in.busy = false;
  SetCursorShape(IDC_ARROW);
  try {
    DeleteFileOnce(in.paths.saverIniPath);
    DeleteDataFile(in);
    DeleteTempCopy(in);
    if (a != rc::kOk) {
      // There is no status line: this box is the run's own report, even
      // after a step has shown its own.
      ShowInstallError(in.ui, a, std::string());
      CleanUpFailedInstall(in);
    }
  } catch (...) {
    // As above: nothing may keep the program from ending.
  }
  return a;
}

}  // namespace ssi
