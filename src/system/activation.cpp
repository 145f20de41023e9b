#include "activation.h"

#include <windows.h>

#include <string>

#include "child_start.h"
#include "error_box.h"
#include "file_replace.h"
#include "messages.h"
#include "path_rules.h"
#include "payload_format.h"
#include "uninstall_details.h"
#include "win_handles.h"

namespace ssi {

bool SetScreenSaverActiveThroughSystem() {
  // Broadcast the change to running programs, but leave the user's profile
  // alone (SPIF_SENDWININICHANGE without SPIF_UPDATEINIFILE).
  return SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, SPIF_SENDWININICHANGE) != FALSE;
}

namespace {

constexpr int kDisplayPropertiesLookups = 1000;
constexpr int kCancelButtonId = 2;
constexpr UINT kSystemDirBufferSize = MAX_PATH + 1;

const std::string& EntryName(const Installer& in, int index) {
  return in.header.entries[static_cast<size_t>(index)].name;
}

// The name the profile service should record for the installed program: its
// short name when the file system gives one, else its long name, both without
// a folder; the full path when there is no such file. A name with wildcards
// would make the look-up match some other file, so it counts as not found.
std::string ScreenSaverSettingName(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return path;
  WIN32_FIND_DATAA found{};
  FindHandle search(FindFirstFileA(path.c_str(), &found));
  if (!search) return path;
  if (found.cAlternateFileName[0] != '\0') return found.cAlternateFileName;
  return found.cFileName;
}

// The system's error number for a refused write; some services refuse without
// setting one.
ResultCode RefusalCode(DWORD lastError) {
  return static_cast<ResultCode>(lastError != 0 ? lastError : ERROR_WRITE_FAULT);
}

// Started in the Windows directory rather than the installer's current
// folder (usually the download folder), so that nothing it looks up relative
// to its folder comes from there. Elevated, only the user's shell starts it:
// the control panel runs with the user's environment and classes, and would
// hand an administrator's token to whatever they name.
void StartDisplayProperties(const std::string& windowsDir) {
  const std::string program = Rundll32Path();
  if (!program.empty()) StartForUser(program, kDisplayPropertiesArguments, windowsDir, true);
}

ResultCode SetStringValue(const RegKey& key, const char* name, const std::string& value) {
  const LONG status =
      RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  return static_cast<ResultCode>(status);
}

}  // namespace

std::string Rundll32Path() {
  char buffer[kSystemDirBufferSize] = {};
  const UINT n = GetSystemDirectoryA(buffer, kSystemDirBufferSize);
  if (n == 0 || n >= kSystemDirBufferSize) return std::string();
  return WithTrailingBackslash(std::string(buffer, n)) + "rundll32.exe";
}

ResultCode ActivateScreenSaver(Installer& in) {
  const std::string program = in.paths.windowsDir + EntryName(in, entry::kSaverProgram);
  const std::string setting = ScreenSaverSettingName(program);
  // A refused profile write would leave the old screen saver named while the
  // install claimed success, so it fails the install, naming the file.
  if (!WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", setting.c_str(), "system.ini")) {
    const ResultCode code = RefusalCode(GetLastError());
    ShowInstallError(in.ui, code, "system.ini");
    return code;
  }
  if (!SetScreenSaverActive()) return rc::kScreenSaverRefused;
  return rc::kOk;
}

void OpenDisplayProperties(Installer& in) {
  if (in.header.displayPropertiesFlag == 0) return;
  in.ui.ShowStatus(msg::kOpeningDisplayProperties);
  StartDisplayProperties(in.paths.windowsDir);
  // Bounded, back-to-back look-ups: enough for the control panel to appear
  // most of the time, and whether it did changes nothing below.
  for (int i = 0; i < kDisplayPropertiesLookups; ++i) {
    if (FindWindowA(nullptr, kDisplayPropertiesTitle) != nullptr) break;
  }
  if (in.Silent()) return;
  in.ui.BringToFront();
  in.ui.StepProgress();
}

void CloseDisplayProperties() {
  // The control panel can hold the screen saver program open; Cancel closes
  // it without applying anything the user changed there.
  const HWND panel = FindWindowA(nullptr, kDisplayPropertiesTitle);
  if (panel == nullptr) return;
  // The click stays queued for a panel that is merely slow; only the wait
  // for it is bounded. A panel found while its buttons are still being made
  // gets what a click on Cancel would send it.
  DWORD_PTR answer = 0;
  const HWND cancel = GetDlgItem(panel, kCancelButtonId);
  if (cancel != nullptr) {
    SendMessageTimeoutA(cancel, BM_CLICK, 0, 0, SMTO_NORMAL, kCloseDisplayPropertiesTimeoutMs,
                        &answer);
  } else {
    SendMessageTimeoutA(panel, WM_COMMAND, MAKEWPARAM(kCancelButtonId, BN_CLICKED), 0, SMTO_NORMAL,
                        kCloseDisplayPropertiesTimeoutMs, &answer);
  }
}

void OpenReadMe(Installer& in) {
  if (in.header.readMeFlag == 0) return;
  const std::string readMe = in.paths.saverDir + EntryName(in, entry::kReadMe);
  // Its viewer starts in the screen saver's folder, not in the installer's
  // current one. The user's own viewer, chosen by the user's own classes, as
  // that user, or none: an elevated editor opens an administrator's shell
  // through its File Open dialog.
  StartForUser(readMe, "", in.paths.saverDir, false);
}

ResultCode WriteUninstallEntry(Installer& in) {
  const std::string& name = in.paths.saverName;
  // Without a name the key would be the "Uninstall" key itself, and a name
  // with a backslash would reach into another key: register nothing then.
  if (name.empty() || name.find('\\') != std::string::npos) return rc::kOk;
  const std::string keyPath = std::string(kUninstallKeyBase) + name;
  RegKey key;
  LONG status =
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.put(), nullptr);
  ResultCode result = static_cast<ResultCode>(status);
  if (result == rc::kOk) result = SetStringValue(key, "DisplayName", name + " Screen Saver");
  if (result == rc::kOk) result = static_cast<ResultCode>(WriteUninstallDetails(key.get(), in));
  // A refused registration never fails the install (its callers ignore the
  // code), but the user learns that no uninstall entry exists.
  if (result != rc::kOk) ShowInstallError(in.ui, result, "HKEY_LOCAL_MACHINE\\" + keyPath);
  return result;
}

void CleanUpFailedInstall(Installer& in) {
  CloseDisplayProperties();
  // Only a plain file name inside a known Windows directory: a hostile name,
  // or a run whose set-up was skipped, must not delete anything elsewhere.
  const std::string& program = EntryName(in, entry::kSaverProgram);
  if (in.paths.windowsDir.empty() || !IsPlainFileName(program)) return;
  DeleteFileOnce(in.paths.windowsDir + program);
}

}  // namespace ssi
