// flashax.exe: the kit's Flash player installer. With /Q it puts our control
// into the system folder (the 32-bit one on 64-bit Windows) and registers it
// for the machine, silently. The installer runs it elevated, so it trusts
// nothing of the user's: no environment, no HKCU, no current folder; it
// writes only the control's file and its class keys, and it never replaces a
// file it did not write.
//
// Exit codes: 0 installed, or a Shockwave Flash control was already
// registered (then nothing is changed); 1 the control could not be written
// or registered; 2 a different file already has the control's name.
#include <windows.h>

#include <string>

#include "class_registration.h"
#include "control_identity.h"
#include "dll_search.h"

namespace {

constexpr int kControlResource = 1;
enum Exit { kInstalled = 0, kFailed = 1, kRefused = 2 };

bool HasQuietSwitch(const char* commandLine) {
  const std::string args = commandLine ? commandLine : "";
  size_t pos = 0;
  while (pos < args.size()) {
    while (pos < args.size() && (args[pos] == ' ' || args[pos] == '\t')) ++pos;
    size_t end = args.find_first_of(" \t", pos);
    if (end == std::string::npos) end = args.size();
    const std::string token = args.substr(pos, end - pos);
    if (token == "/Q" || token == "/q") return true;
    pos = end;
  }
  return false;
}

struct Bytes {
  const void* data = nullptr;
  DWORD size = 0;
};

Bytes CarriedControl() {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kControlResource), RT_RCDATA);
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  Bytes b;
  b.data = loaded ? LockResource(loaded) : nullptr;
  b.size = b.data ? SizeofResource(nullptr, found) : 0;
  return b;
}

// The 32-bit system folder: SysWOW64 on 64-bit Windows, else System32. Asked
// of the system, never taken from the environment.
std::string SystemFolder() {
  char dir[MAX_PATH + 1] = {};
  UINT n = GetSystemWow64DirectoryA(dir, MAX_PATH);
  if (n == 0 || n > MAX_PATH) n = GetSystemDirectoryA(dir, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return {};
  return std::string(dir, n);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True when the file at `path` holds exactly the control we carry.
bool HoldsOurControl(const std::string& path, const Bytes& ours) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool same = GetFileSizeEx(file, &size) && size.QuadPart == ours.size;
  if (same) {
    std::string bytes(ours.size, '\0');
    DWORD got = 0;
    same = ReadFile(file, bytes.data(), ours.size, &got, nullptr) && got == ours.size &&
           memcmp(bytes.data(), ours.data, ours.size) == 0;
  }
  CloseHandle(file);
  return same;
}

// CREATE_NEW: a file that appears at the name meanwhile is never written
// through.
bool WriteNew(const std::string& path, const Bytes& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(file, bytes.data, bytes.size, &put, nullptr) && put == bytes.size;
  const bool closed = CloseHandle(file) != 0;
  if (!ok || !closed) DeleteFileA(path.c_str());
  return ok && closed;
}

int Install() {
  // A control registered for the machine whose file is there is left alone,
  // whoever's it is.
  const std::string registered = flashctl::RegisteredControlPath();
  if (!registered.empty() && FileExists(registered)) return kInstalled;

  const Bytes ours = CarriedControl();
  const std::string folder = SystemFolder();
  if (!ours.data || ours.size == 0 || folder.empty()) return kFailed;
  const std::string path = folder + "\\" + flashctl::kControlFileName;
  if (FileExists(path)) {
    if (!HoldsOurControl(path, ours)) return kRefused;
  } else if (!WriteNew(path, ours)) {
    return kFailed;
  }
  return flashctl::RegisterControlClass(path) ? kInstalled : kFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  ssi::RestrictDllSearch();
  const int result = Install();
  if (!HasQuietSwitch(commandLine)) {
    const char* text = result == kInstalled ? "The Flash player for screen savers is installed."
                       : result == kRefused
                           ? "A different file already has the Flash player's name in the "
                             "system folder; nothing was changed."
                           : "The Flash player for screen savers could not be installed.";
    MessageBoxA(nullptr, text, "Flash player",
                result == kInstalled ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONERROR);
  }
  return result;
}
