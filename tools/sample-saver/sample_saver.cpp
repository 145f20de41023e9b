// The sample screen saver: "/s" runs it full screen, showing the bitmaps of
// its folder until the mouse or keyboard is used; "/c" (and no argument, as
// Windows does when the user double-clicks a .scr) shows a small about box;
// "/p" (preview), "/a" (password) and "/u" (uninstall) are not supported and
// simply end it.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "picture_show.h"

namespace {

constexpr const char* kClassName = "SsiSampleSaver";
constexpr UINT_PTR kNextPictureTimer = 1;
constexpr UINT kPictureSeconds = 4;
constexpr int kMouseSlack = 4;  // pixels the mouse may drift before it counts

struct SaverState {
  sample::PictureShow* show = nullptr;
  std::string emptyText;
  POINT firstMouse{};
  bool mouseSeen = false;
};

SaverState g_state;

std::string ProgramPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The switch letter of the command line ("/s", "-S", "/c:1234" ...), lower
// case; 0 when there is none.
char SwitchOf(const char* commandLine) {
  const char* p = commandLine;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '/' || *p == '-') ++p;
  const char letter = *p;
  return (letter >= 'A' && letter <= 'Z') ? static_cast<char>(letter - 'A' + 'a') : letter;
}

bool MouseMovedFar(LPARAM lParam) {
  const POINT now{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  if (!g_state.mouseSeen) {
    g_state.firstMouse = now;
    g_state.mouseSeen = true;
    return false;
  }
  return std::abs(now.x - g_state.firstMouse.x) > kMouseSlack ||
         std::abs(now.y - g_state.firstMouse.y) > kMouseSlack;
}

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(window, kNextPictureTimer, kPictureSeconds * 1000, nullptr);
      return 0;
    case WM_TIMER:
      if (g_state.show->Advance()) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      RECT area{};
      GetClientRect(window, &area);
      g_state.show->Paint(dc, area, g_state.emptyText);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return TRUE;
    case WM_MOUSEMOVE:
      if (MouseMovedFar(lParam)) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_ACTIVATEAPP:
      if (wParam == FALSE) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kNextPictureTimer);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int RunSaver(HINSTANCE instance) {
  const std::string folder = sample::PictureFolderFor(ProgramPath());
  sample::PictureShow show(sample::FindPictures(folder));
  show.Advance();
  g_state.show = &show;
  g_state.emptyText = "No pictures (*.bmp) in " + folder;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SaverProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) return 1;
  const HWND window =
      CreateWindowExA(WS_EX_TOPMOST, kClassName, "Sample Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                      nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  g_state.show = nullptr;
  return 0;
}

void ShowAbout() {
  const std::string folder = sample::PictureFolderFor(ProgramPath());
  const std::string text = "Sample Screen Saver\r\n\r\nShows the pictures (*.bmp) in\r\n" + folder +
                           "\r\n\r\nIt has no settings.";
  MessageBoxA(nullptr, text.c_str(), "Sample Screen Saver", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  switch (SwitchOf(commandLine)) {
    case 's':
      return RunSaver(instance);
    case 'c':
    case '\0':
      ShowAbout();
      return 0;
    default:  // "/p", "/a", "/u" and anything else
      return 0;
  }
}
