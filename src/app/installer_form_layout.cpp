// The installer window's layout: its window classes, the controls and their
// sizes, how they follow a resize, and the window's size after the set-up.
// Every pixel size comes from the FormLayout table (form_layout.h).
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "installer_form.h"
#include "messages.h"

namespace ssi {
namespace {

constexpr LONG_PTR kLoweredBevel = 1;  // panel's GWLP_USERDATA: draw a sunken outer edge

// A control's rectangle in its parent's client coordinates.
RECT ChildBounds(HWND child) {
  RECT r{};
  if (!child) return r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int HeightOf(const RECT& r) { return r.bottom - r.top; }

SIZE FrameOf(const RECT& adjusted, const RECT& client) {
  return {(adjusted.right - adjusted.left) - (client.right - client.left),
          (adjusted.bottom - adjusted.top) - (client.bottom - client.top)};
}

// The frame (borders and caption) of a window with these styles at `dpi`.
// At the system DPI the system's metrics say it. For another DPI, Windows 10
// 1607 and later answer themselves; older systems (XP has no such call) scale
// their metrics with the DPI, so the frame is taken to scale likewise.
SIZE FrameAt(DWORD style, DWORD exStyle, int dpi, int systemDpi) {
  constexpr RECT kClient{0, 0, 100, 100};
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  if (dpi != systemDpi) {
    const HMODULE user = GetModuleHandleA("user32.dll");
    const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(
        reinterpret_cast<void*>(user ? GetProcAddress(user, "AdjustWindowRectExForDpi") : nullptr));
    RECT r = kClient;
    if (adjustForDpi && adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
      return FrameOf(r, kClient);
  }
  RECT r = kClient;
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const SIZE frame = FrameOf(r, kClient);
  return {MulDiv(frame.cx, dpi, systemDpi), MulDiv(frame.cy, dpi, systemDpi)};
}

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

void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc, HICON icon) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(instance, name, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = name;
  RegisterClassExA(&wc);
}

}  // namespace

bool TInstallerForm::CreateFormWindow() {
  RegisterWindowClass(instance_, kPanelClassName, PanelProc, nullptr);
  RegisterWindowClass(instance_, kFormClassName, WindowProc, LoadIconA(nullptr, IDI_APPLICATION));
  // The design-time frame is sizeable; FormCreate fixes it.
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
  const SIZE size = WindowSizeFor(layout_.design, kStyle, kExStyle);
  CreateWindowExA(kExStyle, kFormClassName, msg::kDesignCaption, kStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, instance_, this);
  return handle_ != nullptr;
}

HWND TInstallerForm::CreateChild(const char* className, const char* text, DWORD style,
                                 DWORD exStyle, HWND parent, int id, const ControlBox& b) {
  const HWND child = CreateWindowExA(
      exStyle, className, text, style | WS_CHILD | WS_CLIPSIBLINGS, b.left, b.top, b.width,
      b.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (child) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return child;
}

bool TInstallerForm::CreateControls() {
  const FormLayout& l = layout_;
  font_.reset(CreateFontA(l.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  using namespace control_id;
  constexpr DWORD kVisible = WS_VISIBLE;

  contentPanel = CreateChild(kPanelClassName, "", kVisible | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                             handle_, kContentPanel, l.contentPanel);
  SetWindowLongPtrA(contentPanel, GWLP_USERDATA, kLoweredBevel);
  bmpPanel =
      CreateChild("STATIC", "", kVisible | SS_OWNERDRAW, 0, contentPanel, kBmpPanel, l.bmpPanel);
  licenseScrollBox = CreateChild(
      "EDIT", "", kVisible | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      WS_EX_CLIENTEDGE, handle_, kLicenseScrollBox, l.licenseScrollBox);
  buttonPanel = CreateChild(kPanelClassName, "", kVisible | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                            handle_, kButtonPanel, l.buttonPanel);
  labFile = CreateChild("STATIC", "", SS_LEFT | SS_NOPREFIX, 0, buttonPanel, kLabFile, l.labFile);
  labCopying =
      CreateChild("STATIC", "", SS_LEFT | SS_NOPREFIX, 0, buttonPanel, kLabCopying, l.labCopying);
  progressBar =
      CreateChild(PROGRESS_CLASSA, "", kVisible, 0, buttonPanel, kProgressBar, l.progressBar);
  SendMessageA(progressBar, PBM_SETRANGE32, 0, 100);
  SendMessageA(progressBar, PBM_SETSTEP, 1, 0);
  declineBtn = CreateChild("BUTTON", msg::kDeclineCaption, WS_TABSTOP | BS_PUSHBUTTON, 0,
                           buttonPanel, kDeclineBtn, l.declineBtn);
  installBtn = CreateChild("BUTTON", msg::kInstallCaption, kVisible | WS_TABSTOP | BS_PUSHBUTTON, 0,
                           buttonPanel, kInstallBtn, l.installBtn);
  // Controls placed later lie on top of earlier ones where they overlap.
  SetWindowPos(buttonPanel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return contentPanel && bmpPanel && licenseScrollBox && buttonPanel && labFile && labCopying &&
         progressBar && declineBtn && installBtn;
}

// `buttonPanel` keeps its height at the bottom; the licence box fills the gap
// between the panels, but never below its minimum height.
void TInstallerForm::FormResize() {
  if (!handle_ || !buttonPanel) return;
  const FormLayout& l = layout_;
  RECT client;
  GetClientRect(handle_, &client);
  const int width = client.right;
  const int panelHeight = l.buttonPanel.height;
  const int panelTop = client.bottom - panelHeight;
  MoveWindow(buttonPanel, 0, panelTop, width, panelHeight, TRUE);
  AnchorButtonPanelChildren(width);
  const int contentBottom = ChildBounds(contentPanel).bottom;
  const int licenceTop = contentBottom + l.licenceGapAbove;
  const int licenceHeight = std::max(l.licenceMinHeight, panelTop - l.licenceGapBelow - licenceTop);
  MoveWindow(licenseScrollBox, 0, licenceTop, width, licenceHeight, TRUE);
}

// `progressBar` keeps its left and right margins, `installBtn` its right one,
// as laid out in the panel's design width.
void TInstallerForm::AnchorButtonPanelChildren(int panelWidth) {
  const FormLayout& l = layout_;
  const int grow = panelWidth - l.buttonPanel.width;
  RECT bar = ChildBounds(progressBar);
  MoveWindow(progressBar, bar.left, bar.top, std::max(0, l.progressBar.width + grow), HeightOf(bar),
             TRUE);
  RECT btn = ChildBounds(installBtn);
  MoveWindow(installBtn, l.installBtn.left + grow, btn.top, btn.right - btn.left, HeightOf(btn),
             TRUE);
}

// The licence box at its shown height, in a window the user may resize down
// to the minimum.
void TInstallerForm::ShowLicenceBox() {
  ShowWindow(licenseScrollBox, SW_SHOW);
  SetBorderSizeable(true);
  minimumSizeSet_ = true;
  RECT box{};
  GetWindowRect(licenseScrollBox, &box);
  SetWindowPos(licenseScrollBox, nullptr, 0, 0, box.right - box.left, layout_.licenceHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TInstallerForm::ArrangeWindow() {
  if (!handle_) return;
  if (installer_.Silent()) {
    SetWindowSize(0, 0);
    return;
  }
  RECT window{};
  GetWindowRect(handle_, &window);
  SetWindowSize(WindowSizeFor(SIZE{layout_.arrangedWidth, 0}).cx, window.bottom - window.top);
  FitWindowHeight();
}

// The frame plus the client height that the visible parts need.
void TInstallerForm::FitWindowHeight() {
  if (!handle_) return;
  RECT window{};
  GetWindowRect(handle_, &window);
  RECT content{};
  GetWindowRect(contentPanel, &content);
  MapWindowPoints(HWND_DESKTOP, handle_, reinterpret_cast<POINT*>(&content), 2);
  RECT box{};
  GetWindowRect(licenseScrollBox, &box);
  RECT panel{};
  GetWindowRect(buttonPanel, &panel);
  int needed = content.bottom + (panel.bottom - panel.top);
  if (installer_.licenceShown) needed += (box.bottom - box.top) + layout_.licenceFitMargin;
  SetWindowSize(window.right - window.left, FrameHeight() + needed);
}

// Never so low that `buttonPanel` would cover part of the licence box at its
// minimum height (the design's 340 pixels leave it a few pixels short).
void TInstallerForm::SetMinimumSize(MINMAXINFO& info) const {
  const SIZE minimum = WindowSizeFor(layout_.minimumWithLicence);
  info.ptMinTrackSize = POINT{minimum.cx, std::max<LONG>(minimum.cy, LicenceFitsHeight())};
}

// The window height at which the licence box at its minimum height just fits
// between the panels.
int TInstallerForm::LicenceFitsHeight() const {
  const FormLayout& l = layout_;
  return FrameHeight() + l.contentPanel.top + l.contentPanel.height + l.licenceGapAbove +
         l.licenceMinHeight + l.buttonPanel.height;
}

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

// A window size given at 96 DPI as it is at the system DPI: its client part
// scaled once, the frame as the system draws it now.
SIZE TInstallerForm::WindowSizeFor(SIZE at96, DWORD style, DWORD exStyle) const {
  const SIZE frame96 = FrameAt(style, exStyle, kDesignDpi, dpi_);
  const SIZE frame = FrameAt(style, exStyle, dpi_, dpi_);
  return {ScaleToDpi(at96.cx - frame96.cx, dpi_) + frame.cx,
          ScaleToDpi(at96.cy - frame96.cy, dpi_) + frame.cy};
}

SIZE TInstallerForm::WindowSizeFor(SIZE at96) const {
  return WindowSizeFor(at96, static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_STYLE)),
                       static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_EXSTYLE)));
}

int TInstallerForm::FrameHeight() const {
  RECT window{};
  RECT client{};
  GetWindowRect(handle_, &window);
  GetClientRect(handle_, &client);
  return HeightOf(window) - client.bottom;
}

// The bitmap preview, stretched into `bmpPanel`.
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

}  // namespace ssi
