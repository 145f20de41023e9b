#include "uninstall.h"

#include <windows.h>
#include <shellapi.h>

#include "activation.h"
#include "elevation.h"
#include "path_rules.h"
#include "remove_folder.h"
#include "self_delete.h"
#include "system_text.h"
#include "user_settings.h"
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
void RemoveCurrentSaverSetting(const SaverPaths& paths) {
  char value[MAX_PATH * 2] = {};
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, "system.ini");
  const std::string named = ssi::AsciiLower(value);
  if (named.empty()) return;
  std::string shortName;
  char shortPath[MAX_PATH] = {};
  const DWORD got = GetShortPathNameA(paths.installedScr.c_str(), shortPath, MAX_PATH);
  if (got > 0 && got < MAX_PATH) shortName = ssi::AsciiLower(shortPath);
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

bool SameFile(const std::string& a, const std::string& b) {
  char longA[MAX_PATH] = {};
  char longB[MAX_PATH] = {};
  const DWORD gotA = GetLongPathNameA(a.c_str(), longA, MAX_PATH);
  const DWORD gotB = GetLongPathNameA(b.c_str(), longB, MAX_PATH);
  if (gotA == 0 || gotA >= MAX_PATH || gotB == 0 || gotB >= MAX_PATH) return false;
  return ssi::AsciiLower(longA) == ssi::AsciiLower(longB);
}

DWORD RemoveProgram(const SaverPaths& paths) {
  if (GetFileAttributesA(paths.installedScr.c_str()) == INVALID_FILE_ATTRIBUTES)
    return ERROR_SUCCESS;
  // Another copy of the program can go at once; the running one only after
  // this process has ended.
  if (!SameFile(paths.programPath, paths.installedScr) && DeleteFileA(paths.installedScr.c_str()))
    return ERROR_SUCCESS;
  if (DeleteAfterExit(paths, paths.installedScr)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

}  // namespace

int RunUninstall(const SaverPaths& paths, const Switches& switches) {
  const Reporter report(paths, switches.quiet);
  if (paths.saverDir.empty())
    return report.Fail("This program cannot tell from its file name which screen saver it is:\r\n" +
                       paths.programPath);
  if (!switches.quiet && !switches.confirmed && !Confirmed(paths)) return kUninstallDeclined;
  if (!IsElevated()) {
    const int code = RunElevated(switches.quiet ? "/u /q" : "/u /y");
    if (code >= 0) return code;
    return report.Fail("Removing the " + paths.saverName +
                       " screen saver needs administrator rights.");
  }

  // The folder first: when a file in it is in use, nothing else is touched,
  // so that the uninstall entry is still there to try again.
  const RemoveOutcome folder = RemoveSaverFolder(paths.saverDir);
  if (!folder.removed && !folder.leftAlone)
    return report.Fail(report.Intro() + WithReason(folder.failedPath, folder.error) +
                       "\r\n\r\nClose the program that uses it and remove the screen saver again.");
  RemoveCurrentSaverSetting(paths);
  DeleteUserSettings(paths.saverName);
  const DWORD entry = RemoveUninstallEntry(paths);
  const DWORD program = RemoveProgram(paths);
  if (entry != ERROR_SUCCESS)
    return report.Fail(
        report.Intro() +
        WithReason("HKEY_LOCAL_MACHINE\\" + std::string(ssi::kUninstallKeyBase) + paths.saverName,
                   entry));
  if (program != ERROR_SUCCESS)
    return report.Fail(report.Intro() + WithReason(paths.installedScr, program));
  return kUninstalled;
}

}  // namespace saver
