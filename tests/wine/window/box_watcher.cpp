#include "box_watcher.h"

namespace ssi::test {
namespace {

std::string TextOf(HWND hwnd) {
  char text[2048] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

struct Search {
  HWND box = nullptr;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param) {
  if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd)) {
    reinterpret_cast<Search*>(param)->box = hwnd;
    return FALSE;
  }
  return TRUE;
}

SeenBox Inspect(HWND box) {
  SeenBox seen;
  seen.found = true;
  seen.title = TextOf(box);
  seen.owner = GetWindow(box, GW_OWNER);
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string cls = ClassOf(child);
    const auto style = GetWindowLongA(child, GWL_STYLE);
    if (cls == "Button") seen.buttons.push_back(TextOf(child));
    if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) seen.hasIcon = true;
    if (cls == "Static" && (style & SS_TYPEMASK) != SS_ICON && seen.text.empty())
      seen.text = TextOf(child);
  }
  return seen;
}

// The watcher runs on a thread of its own (CreateThread: the toolchain's
// thread model has no std::thread).
struct Watch {
  DWORD thread = 0;
  SeenBox seen;
};

DWORD WINAPI WatchForBox(void* param) {
  Watch& watch = *static_cast<Watch*>(param);
  for (int i = 0; i < 1000; ++i) {  // ten seconds at most
    Search search;
    EnumThreadWindows(watch.thread, FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.box) {
      Sleep(50);  // let the box finish its activation
      watch.seen = Inspect(search.box);
      const HWND button = FindWindowExA(search.box, nullptr, "Button", nullptr);
      PostMessageA(search.box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
      return 0;
    }
    Sleep(10);
  }
  return 0;
}

}  // namespace

SeenBox WatchBox(const std::function<void()>& show) {
  Watch watch;
  watch.thread = GetCurrentThreadId();
  const HANDLE watcher = CreateThread(nullptr, 0, WatchForBox, &watch, 0, nullptr);
  show();
  if (watcher) {
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
  }
  return watch.seen;
}

}  // namespace ssi::test
