#pragma once
// Finding and reading the windows of another process, and pressing their
// buttons, as a user would. Several processes may show a window with the
// same title ("Error"), so every look-up is tied to one process id. Every
// wait has a bound; a message sent to the other process gives up after a few
// seconds instead of hanging when that process is stuck in a modal loop.
#include <windows.h>

#include <string>
#include <vector>

namespace ssi::driver {

// Top-level windows of `pid`, visible or not.
std::vector<HWND> TopLevelWindows(DWORD pid);

// The first visible top-level window of `pid` whose caption is exactly `title`.
HWND FindWindowOf(DWORD pid, const std::string& title);

struct FoundWindow {
  HWND hwnd = nullptr;
  std::string title;  // which of the titles matched
  explicit operator bool() const { return hwnd != nullptr; }
};

// Waits until one of `titles` appears for `pid` (checked in the order given).
// Gives up at `timeoutMs`, or at once when `process` (may be null) has ended.
FoundWindow WaitForAnyWindow(DWORD pid, const std::vector<std::string>& titles, DWORD timeoutMs,
                             HANDLE process);
HWND WaitForWindow(DWORD pid, const std::string& title, DWORD timeoutMs, HANDLE process);

// Waits until `hwnd` is gone; false at the timeout.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs);

// WM_GETTEXT through SendMessageTimeout; empty when the window does not answer.
std::string TextOf(HWND hwnd);
std::string ClassOf(HWND hwnd);

// All descendants of `top`, depth first (controls sit inside panels).
std::vector<HWND> Descendants(HWND top);
// The descendant with the control id `id`; null if none.
HWND FindControl(HWND top, int id);

// A rectangle as left, top, width, height.
struct Box {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};
std::string Describe(const Box& box);

struct ControlState {
  HWND hwnd = nullptr;
  int id = 0;
  std::string className;
  std::string text;
  bool ownVisible = false;  // WS_VISIBLE of the control itself
  bool visible = false;     // it and all its parents visible
  bool enabled = false;
  Box window;    // screen coordinates
  Box client;    // client area, from 0,0
  Box inParent;  // relative to the parent's client area
  bool exists() const { return hwnd != nullptr; }
};
ControlState ReadControl(HWND hwnd);
ControlState ReadControlById(HWND top, int id);

struct WindowState {
  std::string caption;
  std::string className;
  bool visible = false;
  bool enabled = false;
  bool sizeable = false;  // WS_THICKFRAME
  bool minimizeBox = false;
  bool maximizeBox = false;
  bool systemMenu = false;
  Box window;
  Box client;
  int frameHeight() const { return window.height - client.height; }
  int frameWidth() const { return window.width - client.width; }
};
WindowState ReadWindow(HWND hwnd);

// A message box: its caption, its text (the static control 0xFFFF) and its
// buttons' captions in window order.
struct MessageBoxContent {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  std::vector<HWND> buttonHandles;
};
MessageBoxContent ReadMessageBox(HWND box);

// Presses a button as a click would (BM_CLICK, posted, so that a long handler
// in the other process does not block us).
bool PressButton(HWND button);
bool PressControl(HWND top, int id);
// Presses the message box's button with this caption ("" = its only/first one).
bool PressMessageBoxButton(HWND box, const std::string& caption = {});

enum class CloseHow { kCloseBox, kCloseMessage };
// kCloseBox: the system command of the close box (SC_CLOSE); kCloseMessage: WM_CLOSE.
bool RequestClose(HWND hwnd, CloseHow how);

// The minimum tracking size the window reports (WM_GETMINMAXINFO).
bool MinimumTrackSize(HWND hwnd, POINT& size);
// Gives the window a new outer size, as dragging its frame would end.
bool ResizeWindow(HWND hwnd, int width, int height);

// A readable dump of a window and its controls, one line each.
std::string DumpWindow(HWND top);

}  // namespace ssi::driver
