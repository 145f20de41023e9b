// A program that only tells how it was started: it appends "<its own
// path>|<its current folder>|<its parent's program name>" and a line break
// to child-probe.log in the
// Windows directory, and ends. Tests plant it where a careless installer
// would start it, and make it the read-me's viewer and the Flash installer.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace {

// The program file name of the process that started this one.
std::string ParentName() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  std::string name;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID == parent) name = entry.szExeFile;
  CloseHandle(snapshot);
  return name;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH + 1] = {};
  char current[MAX_PATH + 1] = {};
  char windows[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, current);
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string line = std::string(self) + "|" + current + "|" + ParentName() + "\r\n";
  const std::string log = std::string(windows) + "\\child-probe.log";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
