// preview-host: plays the part of Display Properties' little monitor for the
// demo. Shows a window, starts "SCR /p HWND" inside it, keeps it for SECONDS,
// closes it and reports whether the screen saver ended with it.
//   preview-host SCR SECONDS
// Output: "key value" lines (hwnd, x11, child, child-rect, saver-exit).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The preview's window lives in another process, but its parent's thread
// (this one) has to answer for it.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(20);
  } while (GetTickCount() - start < ms);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: preview-host SCR SECONDS\n");
    return 1;
  }
  const DWORD showMs = static_cast<DWORD>(std::atoi(argv[2])) * 1000;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = "SsiPreviewHost";
  RegisterClassA(&wc);
  // The size of the monitor picture in Display Properties, doubled.
  RECT frame{0, 0, 304, 224};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  const HWND host = CreateWindowExA(0, wc.lpszClassName, "Screen Saver Preview",
                                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                    nullptr, wc.hInstance, nullptr);
  if (!host) return 2;
  std::printf("hwnd 0x%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(host)));
  const HANDLE x11 = GetPropA(host, "__wine_x11_whole_window");
  if (x11) std::printf("x11 0x%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(x11)));
  std::fflush(stdout);

  std::string line =
      std::string("\"") + argv[1] + "\" /p " + std::to_string(reinterpret_cast<UINT_PTR>(host));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    std::printf("start-failed %lu\n", GetLastError());
    return 2;
  }
  CloseHandle(info.hThread);
  Pump(showMs);
  const HWND child = FindWindowExA(host, nullptr, "SsiScreenSaver", nullptr);
  RECT inside{};
  if (child) GetClientRect(child, &inside);
  std::printf("child %s\nchild-rect %ld %ld\n", child ? "SsiScreenSaver" : "none", inside.right,
              inside.bottom);
  DestroyWindow(host);
  const DWORD closed = GetTickCount();
  DWORD code = STILL_ACTIVE;
  while (GetTickCount() - closed < 15000 && WaitForSingleObject(info.hProcess, 50) == WAIT_TIMEOUT)
    Pump(0);
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (code == STILL_ACTIVE) {
    std::printf("saver-exit none: still running 15 s after its window closed\n");
    return 3;
  }
  std::printf("saver-exit %lu after %lu ms\n", code, GetTickCount() - closed);
  return 0;
}
