#pragma once
// The Shockwave Flash control: is it there, install it from the payload, and
// play the preview movie in the installer window.
#include <windows.h>

#include <string>

#include "installer.h"
#include "result_codes.h"

namespace ssi {

bool FlashPlayerAvailable();
ResultCode RunFlashInstaller(const Installer& in);
ResultCode CreateMoviePlayer(MoviePlayerRef& player, HWND panel, const std::string& moviePath);
ResultCode ReleaseMoviePlayer(MoviePlayerRef& player);

// The Flash check that the set-up and the silent install run: true when the
// control can be created in the end; `result` takes the code of the steps.
bool RunFlashCheck(Installer& in, ResultCode& result);

}  // namespace ssi
