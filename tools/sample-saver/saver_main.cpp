// The screen saver program that authors ship as payload entry 6: it shows
// the pictures or the movie that the installer put into its folder, in the
// way the show layout in saver.dat says, and removes itself on "/u".
#include <windows.h>
#include <objbase.h>

#include "dll_search.h"
#include "saver_paths.h"
#include "saver_window.h"
#include "settings_dialog.h"
#include "switches.h"
#include "uninstall.h"

namespace {

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
  ssi::RestrictDllSearch();
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
