#include "process_driver.h"

#include <vector>

namespace ssi::driver {

StartedProcess StartProgram(const std::string& exe, const std::string& argument, std::string& error,
                            const std::string& workingFolder) {
  std::string commandLine = "\"" + exe + "\"";
  if (!argument.empty()) commandLine += " " + argument;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');

  std::string folder = exe;
  const size_t slash = folder.find_last_of("\\/");
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
  if (!workingFolder.empty()) folder = workingFolder;

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    error = "CreateProcess of " + exe + " failed with error " + std::to_string(GetLastError());
    return {};
  }
  CloseHandle(info.hThread);
  StartedProcess started;
  started.process.reset(info.hProcess);
  started.pid = info.dwProcessId;
  return started;
}

bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode) {
  if (!process || WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    *exitCode = code;
  }
  return true;
}

bool HasExited(HANDLE process) { return WaitForExit(process, 0); }

void Terminate(HANDLE process) {
  if (!process || HasExited(process)) return;
  TerminateProcess(process, 99);
  WaitForExit(process, 5000);
}

KernelHandle OpenProcessById(DWORD pid) {
  return KernelHandle(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
}

}  // namespace ssi::driver
