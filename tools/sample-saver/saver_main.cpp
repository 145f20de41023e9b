// The screen saver program that authors ship as payload entry 6: it shows
// the pictures or the movie that the installer put into its folder, in the
// way the show layout in saver.dat says, and removes itself on "/u".
#include <windows.h>
#include <objbase.h>

#include "saver_paths.h"
#include "saver_window.h"
#include "settings_dialog.h"
#include "switches.h"
#include "uninstall.h"

namespace {

// The program runs from the Windows directory, but on "/u" with
// administrator rights, and its current folder is whatever its starter's
// was: only System32 is searched for DLLs loaded by name from here on
// (GDI+, the movie's control); where the system predates that, at least the
// current folder is dropped. XP lacks both calls, so they are looked up.
void RestrictDllSearch() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault && setDefault(kSearchSystem32)) return;
  const auto setDirectory = reinterpret_cast<SetDllDirectoryAFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (setDirectory) setDirectory("");
}

// The movie's control is COM; one apartment for the window's thread.
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComApartment() {
    if (ok_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  const saver::SaverPaths paths = saver::FindSaverPaths();
  char started[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, started, MAX_PATH);
  const saver::Switches switches =
      saver::ParseSwitches(saver::ArgumentsOf(GetCommandLineA(), started));
  switch (switches.mode) {
    case saver::Mode::kRun: {
      ComApartment com;
      return saver::RunFullScreen(instance, paths);
    }
    case saver::Mode::kPreview: {
      ComApartment com;
      return saver::RunPreview(instance, paths, switches.window);
    }
    case saver::Mode::kConfigure:
      return saver::RunSettingsDialog(instance, paths, switches.window);
    case saver::Mode::kUninstall:
      return saver::RunUninstall(paths, switches);
    case saver::Mode::kPassword:  // passwords are the system's business since NT
    case saver::Mode::kUnknown:
    default:
      return 0;
  }
}
