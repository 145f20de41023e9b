#include "flash_support.h"
// placeholder: to be written
namespace ssi {
bool FlashPlayerAvailable() { return false; }
ResultCode RunFlashInstaller(const Installer&) { return rc::kFlashInstallerMissing; }
ResultCode CreateMoviePlayer(MoviePlayerRef&, HWND, const std::string&) { return rc::kUnspecified; }
ResultCode ReleaseMoviePlayer(MoviePlayerRef& player) { player.reset(); return rc::kOk; }
bool RunFlashCheck(Installer&, ResultCode& result) { result = rc::kUnspecified; return false; }
}  // namespace ssi
