#include "window_driver.h"

#include <sstream>

namespace ssi::driver {
namespace {

// How long a message to the other process may take before we give up on it.
constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kPollMs = 50;
// A message box's text is a static control with this id.
constexpr int kMessageBoxTextId = 0xFFFF;

struct TopLevelSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->pid) search->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

Box ToBox(const RECT& r) { return Box{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
  TopLevelSearch search{pid, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindWindowOf(DWORD pid, const std::string& title) {
  for (HWND hwnd : TopLevelWindows(pid))
    if (IsWindowVisible(hwnd) && TextOf(hwnd) == title) return hwnd;
  return nullptr;
}

FoundWindow WaitForAnyWindow(DWORD pid, const std::vector<std::string>& titles, DWORD timeoutMs,
                             HANDLE process) {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::vector<HWND> windows = TopLevelWindows(pid);
    for (const std::string& title : titles)
      for (HWND hwnd : windows)
        if (IsWindowVisible(hwnd) && TextOf(hwnd) == title) return FoundWindow{hwnd, title};
    if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return {};
    if (GetTickCount() - start >= timeoutMs) return {};
    Sleep(kPollMs);
  }
}

HWND WaitForWindow(DWORD pid, const std::string& title, DWORD timeoutMs, HANDLE process) {
  return WaitForAnyWindow(pid, {title}, timeoutMs, process).hwnd;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(hwnd)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::string TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
    return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return {};
  text.resize(static_cast<size_t>(copied) < text.size() ? static_cast<size_t>(copied)
                                                        : text.size() - 1);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  const int length = GetClassNameA(hwnd, name, sizeof name);
  return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> children;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND FindControl(HWND top, int id) {
  for (HWND child : Descendants(top))
    if (GetDlgCtrlID(child) == id) return child;
  return nullptr;
}

std::string Describe(const Box& box) {
  std::ostringstream out;
  out << box.left << "," << box.top << " " << box.width << "x" << box.height;
  return out.str();
}

ControlState ReadControl(HWND hwnd) {
  ControlState state;
  if (!hwnd || !IsWindow(hwnd)) return state;
  state.hwnd = hwnd;
  state.id = GetDlgCtrlID(hwnd);
  state.className = ClassOf(hwnd);
  state.text = TextOf(hwnd);
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  state.ownVisible = (style & WS_VISIBLE) != 0;
  state.visible = IsWindowVisible(hwnd) != FALSE;
  state.enabled = IsWindowEnabled(hwnd) != FALSE;
  RECT r = {};
  GetWindowRect(hwnd, &r);
  state.window = ToBox(r);
  RECT inParent = r;
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&inParent), 2);
  state.inParent = ToBox(inParent);
  GetClientRect(hwnd, &r);
  state.client = ToBox(r);
  return state;
}

ControlState ReadControlById(HWND top, int id) { return ReadControl(FindControl(top, id)); }

WindowState ReadWindow(HWND hwnd) {
  WindowState state;
  if (!hwnd || !IsWindow(hwnd)) return state;
  state.caption = TextOf(hwnd);
  state.className = ClassOf(hwnd);
  state.visible = IsWindowVisible(hwnd) != FALSE;
  state.enabled = IsWindowEnabled(hwnd) != FALSE;
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  state.sizeable = (style & WS_THICKFRAME) != 0;
  state.minimizeBox = (style & WS_MINIMIZEBOX) != 0;
  state.maximizeBox = (style & WS_MAXIMIZEBOX) != 0;
  state.systemMenu = (style & WS_SYSMENU) != 0;
  RECT r = {};
  GetWindowRect(hwnd, &r);
  state.window = ToBox(r);
  GetClientRect(hwnd, &r);
  state.client = ToBox(r);
  return state;
}

MessageBoxContent ReadMessageBox(HWND box) {
  MessageBoxContent content;
  content.title = TextOf(box);
  if (HWND text = GetDlgItem(box, kMessageBoxTextId)) content.text = TextOf(text);
  for (HWND child : Descendants(box)) {
    if (GetParent(child) != box || !IsWindowVisible(child)) continue;
    const std::string className = ClassOf(child);
    if (className != "Button" && className != "BUTTON") continue;
    content.buttons.push_back(TextOf(child));
    content.buttonHandles.push_back(child);
  }
  return content;
}

bool PressButton(HWND button) { return button && PostMessageA(button, BM_CLICK, 0, 0) != FALSE; }

bool PressControl(HWND top, int id) { return PressButton(FindControl(top, id)); }

bool PressMessageBoxButton(HWND box, const std::string& caption) {
  const MessageBoxContent content = ReadMessageBox(box);
  for (size_t i = 0; i < content.buttons.size(); ++i)
    if (caption.empty() || content.buttons[i] == caption)
      return PressButton(content.buttonHandles[i]);
  return false;
}

bool RequestClose(HWND hwnd, CloseHow how) {
  if (how == CloseHow::kCloseBox) return PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
  return PostMessageA(hwnd, WM_CLOSE, 0, 0) != FALSE;
}

bool MinimumTrackSize(HWND hwnd, POINT& size) {
  MINMAXINFO info = {};
  info.ptMinTrackSize = {-1, -1};
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored))
    return false;
  size = info.ptMinTrackSize;
  return true;
}

bool ResizeWindow(HWND hwnd, int width, int height) {
  return SetWindowPos(hwnd, nullptr, 0, 0, width, height,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

std::string DumpWindow(HWND top) {
  std::ostringstream out;
  const WindowState w = ReadWindow(top);
  out << "window \"" << w.caption << "\" class " << w.className
      << (w.visible ? " visible" : " hidden") << (w.enabled ? "" : " disabled")
      << (w.sizeable ? " sizeable" : " fixed") << " rect " << Describe(w.window) << " client "
      << Describe(w.client) << " frame " << w.frameHeight() << "\n";
  for (HWND child : Descendants(top)) {
    const ControlState c = ReadControl(child);
    std::string text = c.text;
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    for (char& ch : text)
      if (ch == '\r' || ch == '\n') ch = ' ';
    out << "  id " << c.id << " " << c.className << " \"" << text << "\""
        << (c.visible ? " visible" : (c.ownVisible ? " (parent hidden)" : " hidden"))
        << (c.enabled ? "" : " disabled") << " at " << Describe(c.inParent) << "\n";
  }
  return out.str();
}

}  // namespace ssi::driver
