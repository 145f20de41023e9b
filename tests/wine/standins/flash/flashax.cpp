// A stand-in for the Flash player's own installer, for tests only. Run with
// /Q it writes the stand-in control it carries into the system folder and
// registers it under the Shockwave Flash class, silently; run without /Q it
// does nothing. Either way it leaves a line in the stand-in's log.
#include <windows.h>

#include <string>

#include "flash_standin.h"
#include "standin_log.h"

namespace {

constexpr int kControlResource = 1;

bool HasQuietSwitch(const char* commandLine) {
  const std::string args = commandLine ? commandLine : "";
  // Tokens separated by blanks; "/Q" or "/q" anywhere counts.
  size_t pos = 0;
  while (pos < args.size()) {
    while (pos < args.size() && args[pos] == ' ') ++pos;
    size_t end = args.find(' ', pos);
    if (end == std::string::npos) end = args.size();
    const std::string token = args.substr(pos, end - pos);
    if (token == "/Q" || token == "/q") return true;
    pos = end;
  }
  return false;
}

bool WriteControl(const std::string& path) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kControlResource),
                              MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = found ? SizeofResource(nullptr, found) : 0;
  if (!bytes || size == 0) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const BOOL ok = WriteFile(file, bytes, size, &put, nullptr);
  CloseHandle(file);
  return ok && put == size;
}

bool RegisterControl(const std::string& path) {
  HMODULE control = LoadLibraryA(path.c_str());
  if (!control) return false;
  using RegisterFn = HRESULT(STDAPICALLTYPE*)();
  const auto registerServer = reinterpret_cast<RegisterFn>(
      reinterpret_cast<void*>(GetProcAddress(control, "DllRegisterServer")));
  const bool ok = registerServer && SUCCEEDED(registerServer());
  FreeLibrary(control);
  return ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  if (!HasQuietSwitch(commandLine)) {
    ssi::standin::Log("flashax without /Q: nothing done");
    return 0;
  }
  // How it was started, so that tests can tell that it ran hidden.
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  ssi::standin::Log("flashax /Q show=" + std::to_string(show));
  // And with which environment: where it would write and load from.
  for (const char* name : {"TEMP", "PATH"}) {
    char value[4096] = {};
    GetEnvironmentVariableA(name, value, sizeof value);
    ssi::standin::Log(std::string("flashax /Q ") + name + "=" + value);
  }
  if (ssi::standin::ReadNumber(ssi::standin::kInstallerSkips) != 0) {
    ssi::standin::Log("flashax /Q: told to register nothing");
    return 0;
  }
  char dir[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  const std::string path = std::string(dir, n) + "\\" + ssi::standin::kControlFileName;
  const bool ok = WriteControl(path) && RegisterControl(path);
  ssi::standin::Log(ok ? "flashax /Q: control registered" : "flashax /Q: failed");
  return ok ? 0 : 1;
}
