#include "message_box.h"

#include "messages.h"

namespace ssi {
namespace {

// MessageBoxA offers no "Abort"-only button set, so the box is made with a
// single OK button that a CBT hook renames as soon as the box is activated.
// The hook lives only for the one MessageBoxA call. The installer has one
// thread, so a plain variable holds it (thread_local would pull in a thread
// runtime that needs Windows Vista).
HHOOK g_hook = nullptr;

LRESULT CALLBACK RenameOkButton(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    GetClassNameA(box, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0) SetDlgItemTextA(box, IDOK, msg::kAbortButton);
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

class RenameHook {
 public:
  RenameHook() {
    previous_ = g_hook;
    g_hook = SetWindowsHookExA(WH_CBT, RenameOkButton, nullptr, GetCurrentThreadId());
  }
  ~RenameHook() {
    if (g_hook) UnhookWindowsHookEx(g_hook);
    g_hook = previous_;
  }
  RenameHook(const RenameHook&) = delete;
  RenameHook& operator=(const RenameHook&) = delete;

 private:
  HHOOK previous_ = nullptr;  // a box shown while another one is open
};

}  // namespace

void ShowAbortBox(HWND owner, const std::string& text, const std::string& title, UINT icon) {
  if (owner && !IsWindow(owner)) owner = nullptr;
  RenameHook hook;
  MessageBoxA(owner, text.c_str(), title.c_str(), MB_OK | icon);
}

}  // namespace ssi
