#include "box_watcher.h"

#include <thread>

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

}  // namespace

SeenBox WatchBox(const std::function<void()>& show) {
  SeenBox seen;
  const DWORD thread = GetCurrentThreadId();
  std::thread watcher([&] {
    for (int i = 0; i < 1000; ++i) {  // ten seconds at most
      Search search;
      EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&search));
      if (search.box) {
        Sleep(50);  // let the box finish its activation
        seen = Inspect(search.box);
        const HWND button = FindWindowExA(search.box, nullptr, "Button", nullptr);
        PostMessageA(search.box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        return;
      }
      Sleep(10);
    }
  });
  show();
  watcher.join();
  return seen;
}

}  // namespace ssi::test
