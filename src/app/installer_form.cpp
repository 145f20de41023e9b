// The installer window's behaviour: its messages, one handler each, the
// events behind them, and the InstallerUi the install steps talk to. The
// layout is in installer_form_layout.cpp, the set-up in init_installer.cpp.
#include "installer_form.h"

#include <commctrl.h>

#include <exception>
#include <new>

#include "activation.h"
#include "file_replace.h"
#include "flash_support.h"
#include "install_sequence.h"
#include "message_box.h"
#include "messages.h"
#include "pause_interval.h"
#include "work_paths.h"

namespace ssi {
namespace {

constexpr UINT_PTR kPauseTimerId = 1;

}  // namespace

TInstallerForm::TInstallerForm(HINSTANCE instance, std::string applicationTitle)
    : instance_(instance), applicationTitle_(std::move(applicationTitle)) {
  if (!CreateFormWindow()) {
    outcome_ = ExitCode::kFailed;
    return;
  }
  try {
    if (!CreateControls()) {
      outcome_ = ExitCode::kFailed;
      ShowErrorBox(msg::kUnexpectedFailure);
      return;
    }
    FormResize();
    FormCreate();
  } catch (const std::bad_alloc&) {
    outcome_ = ExitCode::kFailed;
    ShowErrorBox(msg::kOutOfMemory);
  } catch (const std::exception&) {
    outcome_ = ExitCode::kFailed;
    ShowErrorBox(msg::kUnexpectedFailure);
  }
}

TInstallerForm::~TInstallerForm() {
  ReleaseMoviePlayer(installer_.moviePlayer);
  if (handle_) DestroyWindow(handle_);
}

LRESULT CALLBACK TInstallerForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form =
        static_cast<TInstallerForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->handle_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TInstallerForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
  // Nothing may unwind into the system's code.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::bad_alloc&) {
    form->outcome_ = ExitCode::kFailed;
    form->ShowErrorBox(msg::kOutOfMemory);
  } catch (const std::exception&) {
    form->outcome_ = ExitCode::kFailed;
    form->ShowErrorBox(msg::kUnexpectedFailure);
  }
  return 0;
}

LRESULT TInstallerForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_DRAWITEM:
      return OnDrawItem(wParam, lParam);
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(wParam, lParam);
    case WM_SIZE:
      return OnSize();
    case WM_GETMINMAXINFO:
      return OnGetMinMaxInfo(wParam, lParam);
    case WM_SETCURSOR:
      return OnSetCursor(wParam, lParam);
    case WM_TIMER:
      return OnTimer(wParam);
    case WM_CLOSE:
      return OnClose();
    case WM_DESTROY:
      return OnDestroy();
    case WM_NCDESTROY:
      return OnNcDestroy(wParam, lParam);
    default:
      return DefWindowProcA(handle_, message, wParam, lParam);
  }
}

// A disabled button cannot be clicked; a forged notification is ignored, so
// nothing installs after a failed set-up.
LRESULT TInstallerForm::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return 0;
  if (id == control_id::kInstallBtn && IsWindowEnabled(installBtn)) installBtnClick();
  if (id == control_id::kDeclineBtn && IsWindowEnabled(declineBtn)) declineBtnClick();
  return 0;
}

LRESULT TInstallerForm::OnDrawItem(WPARAM wParam, LPARAM lParam) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (item->hwndItem != bmpPanel) return DefWindowProcA(handle_, WM_DRAWITEM, wParam, lParam);
  DrawPicture(*item);
  return TRUE;
}

LRESULT TInstallerForm::OnCtlColorStatic(WPARAM wParam, LPARAM lParam) {
  const auto control = reinterpret_cast<HWND>(lParam);
  const auto dc = reinterpret_cast<HDC>(wParam);
  if (control == licenseScrollBox) {  // read-only, but white like any text box
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  if (control == labCopying || control == labFile) {
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcA(handle_, WM_CTLCOLORSTATIC, wParam, lParam);
}

LRESULT TInstallerForm::OnSize() {
  FormResize();
  return 0;
}

LRESULT TInstallerForm::OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam) {
  if (!minimumSizeSet_) return DefWindowProcA(handle_, WM_GETMINMAXINFO, wParam, lParam);
  SetMinimumSize(*reinterpret_cast<MINMAXINFO*>(lParam));
  return 0;
}

LRESULT TInstallerForm::OnSetCursor(WPARAM wParam, LPARAM lParam) {
  if (!waitCursor_) return DefWindowProcA(handle_, WM_SETCURSOR, wParam, lParam);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  return TRUE;
}

LRESULT TInstallerForm::OnTimer(WPARAM timerId) {
  if (timerId == kPauseTimerId) pauseTimerTimer();
  return 0;
}

LRESULT TInstallerForm::OnClose() {
  Close();
  return 0;
}

LRESULT TInstallerForm::OnDestroy() {
  KillTimer(handle_, kPauseTimerId);
  PostQuitMessage(0);
  return 0;
}

// The controls die with the window; what the set-up still does after a silent
// install's close must find them gone, not stale.
LRESULT TInstallerForm::OnNcDestroy(WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = handle_;
  contentPanel = bmpPanel = licenseScrollBox = buttonPanel = nullptr;
  labFile = labCopying = progressBar = declineBtn = installBtn = nullptr;
  pauseTimerEnabled_ = false;
  handle_ = nullptr;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  return DefWindowProcA(hwnd, WM_NCDESTROY, wParam, lParam);
}

// Events

void TInstallerForm::Show() {
  if (!handle_) return;
  CentreOnScreen();  // again, now with its final size
  ShowWindow(handle_, SW_SHOW);
  UpdateWindow(handle_);
  if (IsWindowEnabled(installBtn)) SetFocus(installBtn);
}

void TInstallerForm::FormCreate() {
  SetBorderSizeable(false);
  CentreOnScreen();
  InitInstaller();
}

bool TInstallerForm::FormCloseQuery() const { return !installer_.busy; }

void TInstallerForm::Close() {
  if (!handle_ || !FormCloseQuery()) return;
  FormClose();
  DestroyWindow(handle_);
}

void TInstallerForm::FormClose() {
  if (installer_.Silent()) return;  // the silent install cleaned up itself
  ReleaseMoviePlayer(installer_.moviePlayer);
  DeleteTempCopy(installer_);
  // Declined, closed, or a set-up that failed: no uninstall entry will
  // ever remove what the set-up wrote. An install that ran, even one that
  // failed, keeps its manifest for the uninstaller.
  if (!installRan_) RemoveNewFiles(installer_);
}

void TInstallerForm::declineBtnClick() { Close(); }

bool TInstallerForm::WorkPathsResolved() const {
  return !installer_.paths.tempCopyPath.empty() && !installer_.paths.saverDir.empty() &&
         !installer_.paths.windowsDir.empty();
}

void TInstallerForm::installBtnClick() {
  // With the set-up skipped (a command-line argument) there is nowhere to
  // install to: the button then only closes the window.
  if (!installer_.busy && WorkPathsResolved()) {
    // Both grey: neither does anything while Busy, and a button that looks
    // live invites clicks that seem lost.
    EnableWindow(declineBtn, FALSE);
    EnableWindow(installBtn, FALSE);
    installer_.busy = true;
    installRan_ = true;
    SetWaitCursor(true);
    // Failed until the run says otherwise.
    outcome_ = ExitCode::kFailed;
    try {
      CloseDisplayProperties();
      if (InstallInteractively(installer_) == rc::kOk) outcome_ = ExitCode::kInstalled;
    } catch (const std::bad_alloc&) {
      ShowErrorBox(msg::kOutOfMemory);
    } catch (const std::exception&) {
      ShowErrorBox(msg::kUnexpectedFailure);
    }
    SetWaitCursor(false);
    installer_.busy = false;
  }
  Close();
}

void TInstallerForm::SetPauseTimerEnabled(bool enabled) {
  if (!handle_) return;
  pauseTimerEnabled_ = enabled;
  if (enabled) {
    SetTimer(handle_, kPauseTimerId, PauseIntervalMs(), nullptr);
  } else {
    KillTimer(handle_, kPauseTimerId);
  }
}

void TInstallerForm::pauseTimerTimer() { SetPauseTimerEnabled(false); }

ResultCode TInstallerForm::Track(ResultCode result) {
  if (result != rc::kOk) outcome_ = ExitCode::kFailed;
  return result;
}

void TInstallerForm::SetWaitCursor(bool wait) {
  waitCursor_ = wait;
  SetCursor(LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

// InstallerUi

void TInstallerForm::ShowStatus(const std::string& text) {
  if (installer_.Silent() || !labCopying) return;
  ShowWindow(labCopying, SW_SHOWNA);
  SetWindowTextA(labCopying, text.c_str());
  RedrawWindow(labCopying, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void TInstallerForm::StepProgress() {
  if (installer_.Silent()) return;
  SendMessageA(progressBar, PBM_STEPIT, 0, 0);
  Pause();
}

// One timer interval with the window responsive; messages are handled one at
// a time as the main loop would.
void TInstallerForm::Pause() {
  if (!handle_) return;
  SetPauseTimerEnabled(true);
  MSG message;
  while (pauseTimerEnabled_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {  // leave the quit request to the main loop
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!handle_ || !IsDialogMessageA(handle_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void TInstallerForm::SetProgressFull(bool full) {
  if (!progressBar) return;
  const auto maximum = SendMessageA(progressBar, PBM_GETRANGE, FALSE, 0);
  SendMessageA(progressBar, PBM_SETPOS, full ? static_cast<WPARAM>(maximum) : 0, 0);
}

void TInstallerForm::ShowErrorBox(const std::string& text) {
  ShowAbortBox(handle_, text, msg::kErrorTitle, MB_ICONERROR);
}

void TInstallerForm::ShowInformationBox(const std::string& text) {
  ShowAbortBox(handle_, text, msg::kInformationTitle, MB_ICONINFORMATION);
}

void TInstallerForm::BringToFront() {
  if (!handle_ || installer_.Silent()) return;
  SetFocus(handle_);
  RedrawWindow(handle_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ShowWindow(handle_, SW_SHOW);
  BringWindowToTop(handle_);
  SetForegroundWindow(handle_);
}

}  // namespace ssi
