#include "uninstall.h"

#include <windows.h>

#include "activation.h"
#include "elevation.h"
#include "messages.h"
#include "path_rules.h"
#include "remove_folder.h"
#include "program_removal.h"
#include "system_text.h"
#include "user_settings.h"
#include "work_paths.h"
#include "win_handles.h"

namespace saver {
namespace {

class Reporter {
 public:
  Reporter(const SaverPaths& paths, bool quiet) : paths_(paths), quiet_(quiet) {}
  // Quiet uninstalls are run by programs, not people: no box, the exit code
  // alone tells.
  int Fail(const std::string& text) const {
    if (!quiet_)
      MessageBoxA(nullptr, text.c_str(), DisplayName(paths_).c_str(), MB_OK | MB_ICONERROR);
    return kUninstallFailed;
  }
  std::string Intro() const {
    return "The " + paths_.saverName + " screen saver could not be removed completely.\r\n\r\n";
  }

 private:
  const SaverPaths& paths_;
  bool quiet_;
};

std::string WithReason(const std::string& path, DWORD error) {
  std::string text = path;
  const std::string reason = ssi::SystemErrorText(static_cast<ssi::ResultCode>(error));
  if (!reason.empty()) text += "\r\n" + reason;
  return text;
}

std::string ReadStringValue(HKEY key, const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::string();
  return std::string(value);
}

// The uninstall entry goes only when it is this screen saver's: its command
// names our program. Another product's key of the same name stays.
DWORD RemoveUninstallEntry(const SaverPaths& paths) {
  const std::string keyPath = std::string(ssi::kUninstallKeyBase) + paths.saverName;
  {
    ssi::RegKey key;
    const LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (opened != ERROR_SUCCESS) return static_cast<DWORD>(opened);
    const std::string command = ssi::AsciiLower(ReadStringValue(key.get(), "UninstallString"));
    const std::string ours = ssi::AsciiLower(paths.installedScr + " /u");
    if (command != ours && command != "\"" + ssi::AsciiLower(paths.installedScr) + "\" /u")
      return ERROR_SUCCESS;
  }
  return static_cast<DWORD>(RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str()));
}

// system.ini names the current screen saver by its short name, its long name
// or its full path (as the installer found it); only a name of this program
// is taken away, and screen saving is then switched off.
std::string ShortNameOf(const std::string& path) {
  char shortPath[MAX_PATH] = {};
  const DWORD got = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  return got > 0 && got < MAX_PATH ? ssi::AsciiLower(shortPath) : std::string();
}

// `shortName`: the program's, taken while it was still there.
void RemoveCurrentSaverSetting(const SaverPaths& paths, const std::string& shortName) {
  char value[MAX_PATH * 2] = {};
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, "system.ini");
  const std::string named = ssi::AsciiLower(value);
  if (named.empty()) return;
  const std::string longName = ssi::AsciiLower(paths.installedScr);
  const bool ours =
      named == longName || named == ssi::FileNamePart(longName) ||
      (!shortName.empty() && (named == shortName || named == ssi::FileNamePart(shortName)));
  if (!ours) return;
  WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", nullptr, "system.ini");
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, SPIF_SENDWININICHANGE);
}

bool Confirmed(const SaverPaths& paths) {
  const std::string question =
      "Remove the " + paths.saverName + " screen saver from this computer?";
  return MessageBoxA(nullptr, question.c_str(), DisplayName(paths).c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

// A file that cannot be opened for removal (mostly one in use) is named, with
// the system's reason, and the user may close it and try again; a quiet
// uninstall ends at once. Either way nothing has been removed yet.
bool RetryWhenBusy(const SaverPaths& paths, bool quiet, const std::string& busyPath, DWORD error) {
  if (quiet) return false;
  const std::string text =
      "The " + paths.saverName +
      " screen saver cannot be removed now, because this file cannot be:\r\n\r\n" +
      WithReason(busyPath, error) +
      "\r\n\r\nClose the program that uses it and press Retry, or press Cancel to leave the "
      "screen saver as it is.";
  return MessageBoxA(nullptr, text.c_str(), DisplayName(paths).c_str(),
                     MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

// The installer's private work folder, where the running program is moved
// to be deleted at the next start.
std::string PrivateWorkFolder(const SaverPaths& paths) {
  ssi::WorkPaths work;
  ssi::SetTempLocations(work, paths.windowsDir);
  return work.tempCopyDir;
}

// The elevated instance runs from the installed program in the Windows
// directory, not from a copy the user may have started elsewhere.
std::string ProgramToElevate(const SaverPaths& paths) {
  const DWORD attributes = GetFileAttributesA(paths.installedScr.c_str());
  const bool installed =
      attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  return installed ? paths.installedScr : paths.programPath;
}

int RemoveFiles(const SaverPaths& paths, const Switches& switches, const Reporter& report,
                bool deleteSettings) {
  // Every file is held before anything goes, so that one in use stops the
  // uninstall while everything is still in place.
  FolderHold folder;
  ProgramHold program;
  for (;;) {
    folder = HoldSaverFolder(paths.saverDir);
    program = folder.Busy() ? ProgramHold() : HoldProgram(paths.installedScr);
    const std::string busyPath = folder.Busy() ? folder.busyPath : program.busyPath;
    const DWORD error = folder.Busy() ? folder.error : program.error;
    if (busyPath.empty()) break;
    folder = FolderHold();  // let go while the user decides
    program = ProgramHold();
    if (!RetryWhenBusy(paths, switches.quiet, busyPath, error)) return kUninstallFailed;
  }
  // A failure up to the program's removal leaves the program and its
  // uninstall entry in place, so that the uninstall can be run again and
  // finish; what follows are an administrator's own registry and system.ini.
  const RemoveOutcome removed = RemoveHeldFolder(folder);
  if (!removed.Removed())
    return report.Fail(report.Intro() + WithReason(removed.failedPath, removed.error) +
                       "\r\n\r\nRemove the screen saver again.");
  const std::string shortName = ShortNameOf(paths.installedScr);
  std::string refusedFolder;
  const DWORD programError = RemoveHeldProgram(program, PrivateWorkFolder(paths), &refusedFolder);
  if (programError != ERROR_SUCCESS) {
    std::string text = report.Intro() + WithReason(paths.installedScr, programError);
    if (!refusedFolder.empty()) text += "\r\n\r\n" + ssi::msg::ForeignWorkFolderText(refusedFolder);
    return report.Fail(text);
  }
  RemoveCurrentSaverSetting(paths, shortName);
  if (deleteSettings) DeleteUserSettings(paths.saverName);
  const DWORD entry = RemoveUninstallEntry(paths);
  if (entry != ERROR_SUCCESS)
    return report.Fail(
        report.Intro() +
        WithReason("HKEY_LOCAL_MACHINE\\" + std::string(ssi::kUninstallKeyBase) + paths.saverName,
                   entry));
  return kUninstalled;
}

}  // namespace

int RunUninstall(const SaverPaths& paths, const Switches& switches) {
  const Reporter report(paths, switches.quiet);
  if (paths.saverDir.empty())
    return report.Fail("This program cannot tell from its file name which screen saver it is:\r\n" +
                       paths.programPath);
  if (!switches.quiet && !switches.confirmed && !Confirmed(paths)) return kUninstallDeclined;
  const UninstallRoles roles = RolesFor(IsElevated(), switches.elevatedByUs);
  if (roles.removesFiles) return RemoveFiles(paths, switches, report, roles.deletesSettings);
  const int code = RunElevated(ProgramToElevate(paths), switches.quiet ? "/u /q /e" : "/u /y /e");
  if (code < 0)
    return report.Fail("Removing the " + paths.saverName +
                       " screen saver needs administrator rights.");
  // The user's own settings, by the user's own instance, once the files are
  // gone: a failed or refused uninstall changes nothing.
  if (code == kUninstalled && roles.deletesSettings) DeleteUserSettings(paths.saverName);
  return code;
}

}  // namespace saver
