#include "installer_form.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "activation.h"
#include "file_replace.h"
#include "flash_support.h"
#include "install_sequence.h"
#include "message_box.h"
#include "messages.h"
#include "work_paths.h"

namespace ssi {
namespace {

// Design-time sizes that the layout code keeps.
constexpr int kDesignWidth = 360;
constexpr int kDesignHeight = 348;
constexpr int kButtonPanelHeight = 63;
constexpr int kButtonPanelDesignWidth = 350;
constexpr int kLicenceMinHeight = 103;
constexpr int kFontHeight = -11;

constexpr UINT_PTR kPauseTimerId = 1;
constexpr LONG_PTR kLoweredBevel = 1;  // panel's GWLP_USERDATA: draw a sunken outer edge

// Tests shorten the one-second pauses with SSI_PAUSE_MS (milliseconds,
// 0..60000); nothing the user sees changes. Read once.
UINT PauseIntervalMs() {
  static const UINT interval = [] {
    char value[16] = {};
    const DWORD n = GetEnvironmentVariableA("SSI_PAUSE_MS", value, sizeof value);
    if (n == 0 || n >= sizeof value) return 1000U;
    UINT ms = 0;
    for (DWORD i = 0; i < n; ++i) {
      if (value[i] < '0' || value[i] > '9') return 1000U;
      ms = ms * 10 + static_cast<UINT>(value[i] - '0');
      if (ms > 60000) return 1000U;
    }
    return ms;
  }();
  return interval;
}

// A control's rectangle in its parent's client coordinates.
RECT ChildBounds(HWND child) {
  RECT r{};
  if (!child) return r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int HeightOf(const RECT& r) { return r.bottom - r.top; }

// Panels paint their background and, for `contentPanel`, a lowered outer
// bevel; whatever their children report goes on to the form.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      if (GetWindowLongPtrA(hwnd, GWLP_USERDATA) == kLoweredBevel) {
        RECT r;
        GetClientRect(hwnd, &r);
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  if (!GetClassInfoExA(instance, kPanelClassName, &wc)) {
    wc.lpfnWndProc = PanelProc;
    wc.lpszClassName = kPanelClassName;
    RegisterClassExA(&wc);
  }
}

}  // namespace

TInstallerForm::TInstallerForm(HINSTANCE instance, std::string applicationTitle)
    : instance_(instance), applicationTitle_(std::move(applicationTitle)) {
  RegisterClasses(instance);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(instance, kFormClassName, &wc)) {
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kFormClassName;
    RegisterClassExA(&wc);
  }
  // The design-time frame is sizeable; FormCreate fixes it.
  CreateWindowExA(WS_EX_CONTROLPARENT, kFormClassName, msg::kDesignCaption,
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, kDesignWidth,
                  kDesignHeight, nullptr, nullptr, instance, this);
  if (!handle_) return;
  try {
    CreateControls();
    FormResize();
    FormCreate();
  } catch (const std::bad_alloc&) {
    ShowErrorBox(msg::kOutOfMemory);
  } catch (const std::exception&) {
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
    form->ShowErrorBox(msg::kOutOfMemory);
  } catch (const std::exception&) {
    form->ShowErrorBox(msg::kUnexpectedFailure);
  }
  return 0;
}

LRESULT TInstallerForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = handle_;
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->hwndItem != bmpPanel) break;
      DrawPicture(*item);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
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
      break;
    }
    case WM_SIZE:
      FormResize();
      return 0;
    case WM_GETMINMAXINFO:
      if (minimumSizeSet_) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = POINT{359, 340};
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (waitCursor_) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_TIMER:
      if (wParam == kPauseTimerId) pauseTimerTimer();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kPauseTimerId);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      // The controls die with the window; what the set-up still does after a
      // silent install's close must find them gone, not stale.
      contentPanel = bmpPanel = licenseScrollBox = buttonPanel = nullptr;
      labFile = labCopying = progressBar = declineBtn = installBtn = nullptr;
      pauseTimerEnabled_ = false;
      handle_ = nullptr;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND TInstallerForm::CreateChild(const char* className, const char* text, DWORD style,
                                 DWORD exStyle, HWND parent, int id, RECT b) {
  const HWND child = CreateWindowExA(
      exStyle, className, text, style | WS_CHILD | WS_CLIPSIBLINGS, b.left, b.top, b.right,
      b.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (child) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return child;
}

// RECTs below hold left, top, width, height.
void TInstallerForm::CreateControls() {
  font_.reset(CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  using namespace control_id;
  constexpr DWORD kVisible = WS_VISIBLE;

  contentPanel = CreateChild(kPanelClassName, "", kVisible | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                             handle_, kContentPanel, {0, 0, 352, 152});
  SetWindowLongPtrA(contentPanel, GWLP_USERDATA, kLoweredBevel);
  bmpPanel = CreateChild("STATIC", "", kVisible | SS_OWNERDRAW, 0, contentPanel, kBmpPanel,
                         {1, 1, 350, 150});
  licenseScrollBox = CreateChild(
      "EDIT", "", kVisible | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      WS_EX_CLIENTEDGE, handle_, kLicenseScrollBox, {0, 153, 350, 105});
  buttonPanel = CreateChild(kPanelClassName, "", kVisible | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                            handle_, kButtonPanel, {0, 256, 350, kButtonPanelHeight});
  labFile =
      CreateChild("STATIC", "", SS_LEFT | SS_NOPREFIX, 0, buttonPanel, kLabFile, {-1, 2, 190, 18});
  labCopying = CreateChild("STATIC", "", SS_LEFT | SS_NOPREFIX, 0, buttonPanel, kLabCopying,
                           {1, 3, 419, 13});
  progressBar =
      CreateChild(PROGRESS_CLASSA, "", kVisible, 0, buttonPanel, kProgressBar, {1, 20, 347, 11});
  SendMessageA(progressBar, PBM_SETRANGE32, 0, 100);
  SendMessageA(progressBar, PBM_SETSTEP, 1, 0);
  declineBtn = CreateChild("BUTTON", msg::kDeclineCaption, WS_TABSTOP | BS_PUSHBUTTON, 0,
                           buttonPanel, kDeclineBtn, {2, 35, 78, 25});
  installBtn = CreateChild("BUTTON", msg::kInstallCaption, kVisible | WS_TABSTOP | BS_PUSHBUTTON, 0,
                           buttonPanel, kInstallBtn, {241, 34, 107, 25});
  // Controls placed later lie on top of earlier ones where they overlap.
  SetWindowPos(buttonPanel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (!contentPanel || !bmpPanel || !licenseScrollBox || !buttonPanel || !labFile || !labCopying ||
      !progressBar || !declineBtn || !installBtn)
    throw std::runtime_error("window controls");
}

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

// `buttonPanel` always 63 high at the bottom; the licence box fills the gap
// between the panels, less 6, but never below its minimum height.
void TInstallerForm::FormResize() {
  if (!handle_ || !buttonPanel) return;
  RECT client;
  GetClientRect(handle_, &client);
  const int width = client.right;
  const int panelTop = client.bottom - kButtonPanelHeight;
  MoveWindow(buttonPanel, 0, panelTop, width, kButtonPanelHeight, TRUE);
  AnchorButtonPanelChildren(width);
  const int contentBottom = ChildBounds(contentPanel).bottom;
  const int licenceHeight = std::max(kLicenceMinHeight, (panelTop - 2) - (contentBottom + 4));
  MoveWindow(licenseScrollBox, 0, contentBottom + 2, width, licenceHeight, TRUE);
}

// `progressBar` keeps its left and right margins, `installBtn` its right one,
// as laid out in the panel's design width.
void TInstallerForm::AnchorButtonPanelChildren(int panelWidth) {
  const int grow = panelWidth - kButtonPanelDesignWidth;
  RECT bar = ChildBounds(progressBar);
  MoveWindow(progressBar, bar.left, bar.top, std::max(0, 347 + grow), HeightOf(bar), TRUE);
  RECT btn = ChildBounds(installBtn);
  MoveWindow(installBtn, 241 + grow, btn.top, btn.right - btn.left, HeightOf(btn), TRUE);
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
    EnableWindow(declineBtn, FALSE);
    installer_.busy = true;
    SetWaitCursor(true);
    try {
      CloseDisplayProperties();
      InstallInteractively(installer_);
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

void TInstallerForm::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  // A disabled button cannot be clicked; a forged notification is ignored,
  // so nothing installs after a failed set-up.
  if (id == control_id::kInstallBtn && IsWindowEnabled(installBtn)) installBtnClick();
  if (id == control_id::kDeclineBtn && IsWindowEnabled(declineBtn)) declineBtnClick();
}

void TInstallerForm::DrawPicture(const DRAWITEMSTRUCT& item) const {
  const RECT& r = item.rcItem;
  BITMAP bm{};
  if (!picture_ || !GetObjectA(picture_.get(), sizeof bm, &bm)) {
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  const HDC source = CreateCompatibleDC(item.hDC);
  if (!source) return;
  const HGDIOBJ old = SelectObject(source, picture_.get());
  SetStretchBltMode(item.hDC, HALFTONE);
  SetBrushOrgEx(item.hDC, 0, 0, nullptr);
  StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, bm.bmWidth,
             std::abs(bm.bmHeight), SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
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

// Window helpers

void TInstallerForm::SetBorderSizeable(bool sizeable) {
  if (!handle_) return;
  // Only the system-menu icon: no minimise or maximise box.
  LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE);
  style &= ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  style |= WS_CAPTION | WS_SYSMENU;
  if (sizeable) style |= WS_THICKFRAME;
  SetWindowLongPtrA(handle_, GWL_STYLE, style);
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TInstallerForm::CentreOnScreen() {
  RECT r{};
  GetWindowRect(handle_, &r);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  SetWindowPos(handle_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TInstallerForm::SetWindowSize(int width, int height) {
  if (!handle_) return;
  SetWindowPos(handle_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TInstallerForm::FrameHeight() const {
  RECT window{};
  RECT client{};
  GetWindowRect(handle_, &window);
  GetClientRect(handle_, &client);
  return HeightOf(window) - client.bottom;
}

void TInstallerForm::SetWaitCursor(bool wait) {
  waitCursor_ = wait;
  SetCursor(LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

}  // namespace ssi
