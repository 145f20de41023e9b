// A control panel applet that stands in for the display control panel: one
// modal dialog titled "Display Properties" whose Cancel button (item 2) and
// OK button close it. It shows which page it was asked to open.
#include <windows.h>
#include <cpl.h>

#include <string>

#include "desk_resources.h"

namespace {

HINSTANCE g_module = nullptr;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const char* page = reinterpret_cast<const char*>(lParam);
      const std::string text = std::string("Page asked for: ") + (page && *page ? page : "(none)");
      SetDlgItemTextA(dialog, DESK_PAGE_TEXT, text.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void ShowDisplayProperties(HWND owner, const std::string& page) {
  DialogBoxParamA(g_module, MAKEINTRESOURCEA(DESK_DIALOG), owner, DialogProc,
                  reinterpret_cast<LPARAM>(page.c_str()));
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text < 128 ? *text : '?');
  return out;
}

}  // namespace

extern "C" __declspec(dllexport) LONG APIENTRY
    CPlApplet(HWND owner, UINT message, LPARAM param1, LPARAM param2) {
  switch (message) {
    case CPL_INIT:
      return TRUE;
    case CPL_GETCOUNT:
      return 1;
    case CPL_INQUIRE: {
      auto* info = reinterpret_cast<CPLINFO*>(param2);
      info->idIcon = 0;
      info->idName = 0;
      info->idInfo = 0;
      info->lData = 0;
      return 0;
    }
    case CPL_NEWINQUIRE: {
      auto* info = reinterpret_cast<NEWCPLINFOA*>(param2);
      info->dwSize = sizeof(NEWCPLINFOA);
      info->dwFlags = 0;
      info->dwHelpContext = 0;
      info->lData = 0;
      info->hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
      lstrcpynA(info->szName, "Display", sizeof info->szName);
      lstrcpynA(info->szInfo, "Display Properties stand-in", sizeof info->szInfo);
      info->szHelpFile[0] = '\0';
      return 0;
    }
    case CPL_STARTWPARMSA:
      ShowDisplayProperties(owner, reinterpret_cast<const char*>(param2));
      return TRUE;
    case CPL_STARTWPARMSW:
      ShowDisplayProperties(owner, Narrow(reinterpret_cast<const wchar_t*>(param2)));
      return TRUE;
    case CPL_DBLCLK:
      ShowDisplayProperties(owner, std::to_string(param1));
      return 0;
    default:
      return 0;
  }
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}
