#include "flash_support.h"

#include "child_start.h"
#include "com_ptr.h"
#include "file_replace.h"
#include "flash_host.h"

namespace ssi {
namespace {

// Waiting for the Flash installer to register the control is done by
// immediate retries only, never by a timed wait.
constexpr int kCreationAttempts = 10000;

// A failure whose last-error value went missing is still a failure.
HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The seven steps of one attempt. Step 1 stores the control in `player` only
// when it was created whole; any later failure leaves it there, set up as far
// as it got.
HRESULT TryCreateMoviePlayer(MoviePlayerRef& player, HWND panel, const std::string& moviePath) {
  HRESULT hr = CreateFlashControl(panel, player);
  if (FAILED(hr)) return hr;
  FlashControl& control = *player;

  RECT client{};
  if (!GetClientRect(panel, &client)) return LastErrorResult();
  // One pixel inside every edge of the panel.
  const RECT bounds{1, 1, client.right - 1, client.bottom - 1};
  if (FAILED(hr = PlaceFlashControl(control, bounds))) return hr;
  if (FAILED(hr = SetFlashMovie(control, moviePath))) return hr;
  if (FAILED(hr = SetFlashParent(control, panel))) return hr;

  const Bstr wmode = Bstr::FromAnsi("WMode");
  const Bstr opaque = Bstr::FromAnsi("Opaque");
  if (FAILED(hr = SetFlashVariable(control, wmode.get(), opaque.get()))) return hr;

  Bstr align;
  if (FAILED(hr = ReadFlashSAlign(control, align))) return hr;
  const Bstr alClient = Bstr::FromAnsi("alClient");
  if (FAILED(hr = SetFlashVariable(control, align.get(), alClient.get()))) return hr;

  return SetFlashMenu(control, false);
}

}  // namespace

ResultCode ShellValueForStartError(DWORD error) {
  constexpr ResultCode kShare = 26;          // SE_ERR_SHARE
  constexpr ResultCode kDllNotFound = 32;    // SE_ERR_DLLNOTFOUND
  constexpr ResultCode kOutOfMemory = 8;     // SE_ERR_OOM
  constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED, Vista on
  switch (error) {
    case ERROR_SHARING_VIOLATION:
      return kShare;
    case ERROR_OUTOFMEMORY:
      return kOutOfMemory;
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
      return ERROR_BAD_FORMAT;
    case ERROR_MOD_NOT_FOUND:
    case ERROR_DLL_NOT_FOUND:
      return kDllNotFound;
    case kElevationRequired:
      return ERROR_ACCESS_DENIED;
    default:
      return error >= 1 && error <= 32 ? static_cast<ResultCode>(error) : rc::kUnspecified;
  }
}

bool FlashPlayerAvailable() {
  for (int attempt = 0; attempt < kCreationAttempts; ++attempt)
    if (ProbeFlashControl()) return true;
  return false;
}

ResultCode RunFlashInstaller(const Installer& in) {
  const std::string path = in.paths.windowsDir + "flashax.exe";
  if (!FileExists(path)) return rc::kFlashInstallerMissing;
  // By its full path, never through file associations (which the user's own
  // classes would choose for an elevated shell start), in the Windows
  // directory rather than the installer's current folder, with the system's
  // environment rather than the user's.
  DWORD error = 0;
  const std::string environment = SystemEnvironment(in.paths.windowsDir);
  if (StartProgramDirectly(path, "/Q", in.paths.windowsDir, SW_HIDE, &error, &environment))
    return rc::kOk;
  return ShellValueForStartError(error);
}

ResultCode CreateMoviePlayer(MoviePlayerRef& player, HWND panel, const std::string& moviePath) {
  ResultCode result = rc::kOk;
  for (int attempt = 0; attempt < kCreationAttempts && !player; ++attempt)
    if (FAILED(TryCreateMoviePlayer(player, panel, moviePath))) result = rc::kUnspecified;
  return result;
}

ResultCode ReleaseMoviePlayer(MoviePlayerRef& player) {
  if (!player) return rc::kOk;
  // A control that refuses to stop is destroyed all the same, so that the
  // window can always close.
  StopFlashPlay(*player);
  player.reset();
  return rc::kOk;
}

}  // namespace ssi
