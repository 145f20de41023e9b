// preview-host: plays the part of Display Properties' little monitor for the
// demo. Shows a window the size of that monitor's picture, doubled, and has
// the screen saver draw its preview inside it for SECONDS, then closes it.
//
//   preview-host SCR SECONDS
//     starts "SCR /p HWND" as Display Properties does and reports whether the
//     screen saver filled the window and ended with it. Wine 8 does not show
//     what a child window of another process draws, so a screenshot of this
//     window shows only its grey background.
//   preview-host --in-process SCR SECONDS
//     runs the screen saver's own preview code (its /p window, linked in)
//     in this process, for the installed SCR's folder and settings, so that a
//     screenshot shows the preview as the screen saver draws it.
//
// Output: "key value" lines (hwnd, x11; child, child-rect, saver-exit for the
// first form; preview-exit for the second).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "saver_paths.h"
#include "saver_window.h"

namespace {

const int kWidth = 304;
const int kHeight = 224;

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

HWND ShowHost(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = "SsiPreviewHost";
  RegisterClassA(&wc);
  RECT frame{0, 0, kWidth, kHeight};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  const HWND host = CreateWindowExA(0, wc.lpszClassName, "Screen Saver Preview",
                                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                    nullptr, instance, nullptr);
  if (!host) return nullptr;
  std::printf("hwnd 0x%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(host)));
  const HANDLE x11 = GetPropA(host, "__wine_x11_whole_window");
  if (x11) std::printf("x11 0x%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(x11)));
  std::fflush(stdout);
  return host;
}

// What the screen saver finds from its own file name when it is SCR.
saver::SaverPaths PathsOf(const std::string& scr) {
  saver::SaverPaths paths;
  paths.programPath = scr;
  paths.installedScr = scr;
  const std::size_t slash = scr.find_last_of("\\/");
  paths.windowsDir = slash == std::string::npos ? std::string() : scr.substr(0, slash + 1);
  std::string file = scr.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::size_t dot = file.rfind('.');
  paths.saverName = dot == std::string::npos ? file : file.substr(0, dot);
  paths.saverDir = paths.windowsDir + paths.saverName + " dir\\";
  return paths;
}

void CALLBACK CloseHost(HWND window, UINT, UINT_PTR, DWORD) { DestroyWindow(window); }

int InProcess(HINSTANCE instance, const std::string& scr, UINT showMs) {
  const HWND host = ShowHost(instance);
  if (!host) return 2;
  // Closing the host ends the preview, as when Display Properties closes.
  SetTimer(host, 1, showMs, CloseHost);
  if (FAILED(CoInitialize(nullptr))) return 2;
  const int code = saver::RunPreview(instance, PathsOf(scr), host);
  CoUninitialize();
  std::printf("preview-exit %d\n", code);
  return code == 0 ? 0 : 3;
}

int OtherProcess(HINSTANCE instance, const std::string& scr, DWORD showMs) {
  const HWND host = ShowHost(instance);
  if (!host) return 2;
  std::string line = "\"" + scr + "\" /p " + std::to_string(reinterpret_cast<UINT_PTR>(host));
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

}  // namespace

int main(int argc, char** argv) {
  const bool inProcess = argc == 4 && std::strcmp(argv[1], "--in-process") == 0;
  if (argc != 3 && !inProcess) {
    std::fprintf(stderr, "usage: preview-host [--in-process] SCR SECONDS\n");
    return 1;
  }
  const std::string scr = argv[argc - 2];
  const DWORD showMs = static_cast<DWORD>(std::atoi(argv[argc - 1])) * 1000;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  return inProcess ? InProcess(instance, scr, showMs) : OtherProcess(instance, scr, showMs);
}
