#pragma once
// What the Flash stand-ins (a control under the Shockwave Flash class and a
// flashax.exe that registers it) and the tests that drive them agree on.
// Test material only: nothing here goes into an installer for users.
//
// The control appends one line per call it receives to the log, e.g.
//   create | create refused | SetClientSite site | InitNew
//   dispatch put Movie C:\x\y.scf | DoVerb -5 rect=1,1,351,151
//   SetVariable WMode=Opaque | dispatch get SAlign LT | dispatch put Menu false
//   StopPlay | InPlaceDeactivate | Close | SetClientSite null | destroy
// Properties reached through IDispatch carry the prefix "dispatch "; methods
// called through the IShockwaveFlash vtable have none. A member that was told
// to fail adds " failed" to its line and returns E_FAIL.
#include <windows.h>

#include <string>

namespace ssi::standin {

// HKEY_CURRENT_USER\<kSettingsKey>:
//   FailCreations  DWORD   the next N creations are refused (counted down)
//   SAlign         REG_SZ  the control's initial SAlign (default empty)
//   Fail           REG_SZ  members that return E_FAIL, comma-separated:
//                          Movie, SAlign, Menu, SetVariable, StopPlay,
//                          DoVerb, Close, InitNew
//   InstallerSkips DWORD   non-zero: flashax.exe /Q registers nothing
constexpr const char* kSettingsKey = "Software\\SsiFlashStandin";
constexpr const char* kFailCreations = "FailCreations";
constexpr const char* kSAlign = "SAlign";
constexpr const char* kFail = "Fail";
constexpr const char* kInstallerSkips = "InstallerSkips";

// The control's window class; it fills its window and names the movie.
constexpr const char* kWindowClass = "SsiFlashStandin";

// C:\windows\temp\flash-standin.log (the Windows directory of the prefix).
inline std::string LogPath() {
  char dir[MAX_PATH + 1] = {};
  const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
  std::string path(dir, n);
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + "temp\\flash-standin.log";
}

// Where flashax.exe /Q puts the control before registering it.
constexpr const char* kControlFileName = "ssi-flash-standin.ocx";

}  // namespace ssi::standin
