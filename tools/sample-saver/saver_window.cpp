#include "saver_window.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "flash_host.h"
#include "picture_show.h"
#include "show_plan.h"
#include "user_settings.h"

namespace saver {
namespace {

constexpr const char* kClassName = "SsiScreenSaver";
constexpr UINT_PTR kNextPictureTimer = 1;
constexpr UINT_PTR kFrameTimer = 2;
constexpr UINT_PTR kParentTimer = 3;
constexpr UINT kFrameMs = 30;
constexpr int kMouseSlack = 4;  // pixels the mouse may drift before it counts

struct Show {
  bool fullScreen = false;
  HWND parent = nullptr;
  std::unique_ptr<PictureShow> pictures;
  ssi::MoviePlayerRef movie;
  std::string emptyText;
  std::vector<RECT> screens;  // in client coordinates
  POINT startMouse{};
};

Show* g_show = nullptr;  // one window per process, on one thread

BOOL CALLBACK AddScreen(HMONITOR, HDC, LPRECT area, LPARAM origin) {
  const POINT* o = reinterpret_cast<const POINT*>(origin);
  RECT r = *area;
  OffsetRect(&r, -o->x, -o->y);
  g_show->screens.push_back(r);
  return TRUE;
}

void FindScreens(HWND window) {
  g_show->screens.clear();
  RECT client{};
  GetClientRect(window, &client);
  if (g_show->fullScreen) {
    POINT origin{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
    EnumDisplayMonitors(nullptr, nullptr, AddScreen, reinterpret_cast<LPARAM>(&origin));
  }
  if (g_show->screens.empty()) g_show->screens.push_back(client);
}

// The movie plays through the same Flash hosting as the installer's preview;
// any failure leaves the pictures to show instead.
bool StartMovie(HWND window, const std::string& path) {
  if (path.empty() || !ssi::ProbeFlashControl()) return false;
  ssi::MoviePlayerRef player;
  if (FAILED(ssi::CreateFlashControl(window, player))) return false;
  RECT client{};
  GetClientRect(window, &client);
  if (FAILED(ssi::PlaceFlashControl(*player, client)) ||
      FAILED(ssi::SetFlashMovie(*player, path)) || FAILED(ssi::SetFlashParent(*player, window)))
    return false;
  ssi::SetFlashMenu(*player, false);
  g_show->movie = std::move(player);
  return true;
}

void NextPicture(HWND window) {
  if (g_show->pictures->Advance()) {
    InvalidateRect(window, nullptr, FALSE);
    SetTimer(window, kFrameTimer, kFrameMs, nullptr);
  }
  SetTimer(window, kNextPictureTimer, g_show->pictures->CurrentMs(), nullptr);
}

void Close(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

bool MouseMovedFar() {
  POINT now{};
  GetCursorPos(&now);
  return std::abs(now.x - g_show->startMouse.x) > kMouseSlack ||
         std::abs(now.y - g_show->startMouse.y) > kMouseSlack;
}

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kNextPictureTimer) {
        NextPicture(window);
      } else if (wParam == kFrameTimer) {
        InvalidateRect(window, nullptr, FALSE);
        if (!g_show->pictures->Transitioning()) KillTimer(window, kFrameTimer);
      } else if (wParam == kParentTimer && !IsWindow(g_show->parent)) {
        DestroyWindow(window);
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      RECT client{};
      GetClientRect(window, &client);
      if (!g_show->movie) g_show->pictures->Paint(dc, client, g_show->screens, g_show->emptyText);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_SIZE:
      FindScreens(window);
      return 0;
    case WM_SETCURSOR:
      if (!g_show->fullScreen) break;
      SetCursor(nullptr);
      return TRUE;
    case WM_ACTIVATEAPP:
      if (g_show->fullScreen && wParam == FALSE) Close(window);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kNextPictureTimer);
      KillTimer(window, kFrameTimer);
      KillTimer(window, kParentTimer);
      if (g_show->movie) ssi::StopFlashPlay(*g_show->movie);
      g_show->movie.reset();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Input ends a full-screen show whichever of our windows it is meant for (the
// movie's control has a window of its own).
bool EndsTheShow(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      return true;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
      return MouseMovedFar();
    default:
      return false;
  }
}

int Run(HINSTANCE instance, const SaverPaths& paths, HWND parent) {
  Show show;
  g_show = &show;
  show.fullScreen = parent == nullptr;
  show.parent = parent;
  const ShowPlan plan = PlanShow(paths.saverDir, LoadUserSettings(paths.saverName));
  show.pictures = std::make_unique<PictureShow>(plan.pictures, plan.layout.transition,
                                                plan.layout.transitionMs);
  show.emptyText = DisplayName(paths) + "\r\nNo pictures in " +
                   (paths.saverDir.empty() ? paths.programPath : paths.saverDir);
  GetCursorPos(&show.startMouse);

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SaverProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  HWND window = nullptr;
  if (parent != nullptr) {
    RECT area{};
    GetClientRect(parent, &area);
    window = CreateWindowExA(0, kClassName, "Preview", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                             0, area.right, area.bottom, parent, nullptr, instance, nullptr);
  } else {
    window =
        CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, DisplayName(paths).c_str(),
                        WS_POPUP | WS_CLIPCHILDREN, GetSystemMetrics(SM_XVIRTUALSCREEN),
                        GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                        GetSystemMetrics(SM_CYVIRTUALSCREEN), nullptr, nullptr, instance, nullptr);
  }
  if (window == nullptr) {
    g_show = nullptr;
    return 1;
  }
  FindScreens(window);
  if (!StartMovie(window, plan.moviePath)) NextPicture(window);
  if (parent != nullptr) SetTimer(window, kParentTimer, 500, nullptr);
  if (show.fullScreen) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    ShowCursor(FALSE);
  }
  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (show.fullScreen && IsWindow(window) && EndsTheShow(msg)) Close(window);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (show.fullScreen) ShowCursor(TRUE);
  g_show = nullptr;
  return 0;
}

}  // namespace

int RunFullScreen(HINSTANCE instance, const SaverPaths& paths) {
  return Run(instance, paths, nullptr);
}

int RunPreview(HINSTANCE instance, const SaverPaths& paths, HWND parent) {
  if (!IsWindow(parent)) return 1;
  return Run(instance, paths, parent);
}

}  // namespace saver
