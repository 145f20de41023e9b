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
// The value the shell's start of a program gives for the failure that
// CreateProcess reports as `error` (SE_ERR_* or the error itself, 1 to 32),
// so that a failed start reads as it always did; -1 for any other failure.
ResultCode ShellValueForStartError(DWORD error);
ResultCode CreateMoviePlayer(MoviePlayerRef& player, HWND panel, const std::string& moviePath);
ResultCode ReleaseMoviePlayer(MoviePlayerRef& player);

}  // namespace ssi
