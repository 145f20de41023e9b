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

}  // namespace ssi
