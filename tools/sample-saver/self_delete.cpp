#include "self_delete.h"

#include "path_rules.h"
#include "win_handles.h"

namespace saver {
namespace {

constexpr DWORD kWaitForUninstallMs = 60000;
constexpr int kDeleteAttempts = 100;  // 100 ms apart
constexpr DWORD kDeletePauseMs = 100;

std::string TempFolder() {
  char temp[MAX_PATH] = {};
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  return length > 0 && length < MAX_PATH ? ssi::WithTrailingBackslash(temp) : std::string();
}

bool Start(const std::string& program, std::string commandLine, DWORD flags) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                      nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

bool DeleteRetrying(const std::string& path) {
  for (int i = 0; i < kDeleteAttempts; ++i) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (DeleteFileA(path.c_str())) return true;
    Sleep(kDeletePauseMs);
  }
  return false;
}

// The copy's own file: a command interpreter deletes it once the copy has
// ended (it retries while the file is still in use); failing that, it goes at
// the next restart.
void RemoveOwnFile(const std::string& self) {
  char system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    const std::string cmd = ssi::WithTrailingBackslash(system) + "cmd.exe";
    const std::string line =
        "cmd.exe /c for /l %i in (1,1,30) do @(ping -n 2 127.0.0.1 >nul & "
        "del /f /q \"" +
        self + "\" >nul 2>&1 & if not exist \"" + self + "\" exit)";
    if (Start(cmd, line, CREATE_NO_WINDOW)) return;
  }
  MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

bool DeleteAfterExit(const SaverPaths& paths, const std::string& target) {
  const std::string temp = TempFolder();
  if (temp.empty()) return false;
  const std::string copy = temp + "ssi-uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
  if (!CopyFileA(paths.programPath.c_str(), copy.c_str(), FALSE)) return false;
  const std::string line =
      "\"" + copy + "\" /x " + std::to_string(GetCurrentProcessId()) + " \"" + target + "\"";
  if (Start(copy, line, 0)) return true;
  DeleteFileA(copy.c_str());
  return false;
}

int RunDeleteAfter(const SaverPaths& paths, DWORD pid, const std::string& target) {
  ssi::KernelHandle waited(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (waited) WaitForSingleObject(waited.get(), kWaitForUninstallMs);
  int result = 1;
  // Whatever the command line says, only a screen saver program of the
  // Windows directory is ever deleted here.
  if (!paths.windowsDir.empty() &&
      ssi::AsciiLower(ssi::FolderPart(target)) == ssi::AsciiLower(paths.windowsDir) &&
      ssi::AsciiLower(ssi::PathExtension(target)) == ".scr" &&
      ssi::IsPlainFileName(ssi::FileNamePart(target))) {
    result = DeleteRetrying(target) ? 0 : 1;
  }
  RemoveOwnFile(paths.programPath);
  return result;
}

}  // namespace saver
