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

// The window's Show, which lives on Run's stack for as long as the window.
Show* ShowOf(HWND window) {
  return reinterpret_cast<Show*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

struct ScreenList {
  POINT origin;
  std::vector<RECT>* screens;
};

BOOL CALLBACK AddScreen(HMONITOR, HDC, LPRECT area, LPARAM list) {
  const ScreenList* l = reinterpret_cast<const ScreenList*>(list);
  RECT r = *area;
  OffsetRect(&r, -l->origin.x, -l->origin.y);
  l->screens->push_back(r);
  return TRUE;
}

void FindScreens(HWND window, Show& show) {
  show.screens.clear();
  RECT client{};
  GetClientRect(window, &client);
  if (show.fullScreen) {
    ScreenList list{{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)},
                    &show.screens};
    EnumDisplayMonitors(nullptr, nullptr, AddScreen, reinterpret_cast<LPARAM>(&list));
  }
  if (show.screens.empty()) show.screens.push_back(client);
}

// The movie plays through the same Flash hosting as the installer's preview;
// any failure leaves the pictures to show instead.
bool StartMovie(HWND window, Show& show, const std::string& path) {
  if (path.empty() || !ssi::ProbeFlashControl()) return false;
  ssi::MoviePlayerRef player;
  if (FAILED(ssi::CreateFlashControl(window, player))) return false;
  RECT client{};
  GetClientRect(window, &client);
  if (FAILED(ssi::PlaceFlashControl(*player, client)) ||
      FAILED(ssi::SetFlashMovie(*player, path)) || FAILED(ssi::SetFlashParent(*player, window)))
    return false;
  ssi::SetFlashMenu(*player, false);
  show.movie = std::move(player);
  return true;
}

void NextPicture(HWND window, Show& show) {
  if (show.pictures->Advance()) {
    InvalidateRect(window, nullptr, FALSE);
    SetTimer(window, kFrameTimer, kFrameMs, nullptr);
  }
  SetTimer(window, kNextPictureTimer, show.pictures->CurrentMs(), nullptr);
}

void Close(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

bool MouseMovedFar(const Show& show) {
  POINT now{};
  GetCursorPos(&now);
  return std::abs(now.x - show.startMouse.x) > kMouseSlack ||
         std::abs(now.y - show.startMouse.y) > kMouseSlack;
}

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  Show* show = ShowOf(window);
  if (show == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_TIMER:
      if (wParam == kNextPictureTimer) {
        NextPicture(window, *show);
      } else if (wParam == kFrameTimer) {
        InvalidateRect(window, nullptr, FALSE);
        if (!show->pictures->Transitioning()) KillTimer(window, kFrameTimer);
      } else if (wParam == kParentTimer && !IsWindow(show->parent)) {
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
      if (!show->movie) show->pictures->Paint(dc, client, show->screens, show->emptyText);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_SIZE:
      FindScreens(window, *show);
      return 0;
    case WM_SETCURSOR:
      if (!show->fullScreen) break;
      SetCursor(nullptr);
      return TRUE;
    case WM_ACTIVATEAPP:
      if (show->fullScreen && wParam == FALSE) Close(window);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kNextPictureTimer);
      KillTimer(window, kFrameTimer);
      KillTimer(window, kParentTimer);
      if (show->movie) ssi::StopFlashPlay(*show->movie);
      show->movie.reset();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Input ends a full-screen show whichever of our windows it is meant for (the
// movie's control has a window of its own).
bool EndsTheShow(const MSG& msg, const Show& show) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      return true;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
      return MouseMovedFar(show);
    default:
      return false;
  }
}

int Run(HINSTANCE instance, const SaverPaths& paths, HWND parent) {
  Show show;
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
                             0, area.right, area.bottom, parent, nullptr, instance, &show);
  } else {
    window =
        CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, DisplayName(paths).c_str(),
                        WS_POPUP | WS_CLIPCHILDREN, GetSystemMetrics(SM_XVIRTUALSCREEN),
                        GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                        GetSystemMetrics(SM_CYVIRTUALSCREEN), nullptr, nullptr, instance, &show);
  }
  if (window == nullptr) return 1;
  FindScreens(window, show);
  if (!StartMovie(window, show, plan.moviePath)) NextPicture(window, show);
  if (parent != nullptr) SetTimer(window, kParentTimer, 500, nullptr);
  if (show.fullScreen) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    ShowCursor(FALSE);
  }
  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (show.fullScreen && IsWindow(window) && EndsTheShow(msg, show)) Close(window);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (show.fullScreen) ShowCursor(TRUE);
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
