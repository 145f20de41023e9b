#include "flash_test_support.h"

#include <gtest/gtest.h>

#include "artifacts.h"
#include "flash_standin.h"

namespace ssi::test {

std::string StandinControlPath() { return ArtifactPath("SSI_FLASH_STANDIN"); }
std::string StandinInstallerPath() { return ArtifactPath("SSI_FLASHAX"); }

namespace {

HRESULT CallControlExport(const char* name) {
  HMODULE control = LoadLibraryA(StandinControlPath().c_str());
  if (!control) return HRESULT_FROM_WIN32(GetLastError());
  using Fn = HRESULT(STDAPICALLTYPE*)();
  const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(control, name)));
  const HRESULT hr = fn ? fn() : E_NOTIMPL;
  FreeLibrary(control);
  return hr;
}

HKEY OpenSettings() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, standin::kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  return key;
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterHostClass(const char* name) {
  WNDCLASSA wc{};
  if (GetClassInfoA(GetModuleHandleA(nullptr), name, &wc)) return;
  wc.lpfnWndProc = PlainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

}  // namespace

void RegisterStandinControl() { ASSERT_EQ(CallControlExport("DllRegisterServer"), S_OK); }
void UnregisterStandinControl() { CallControlExport("DllUnregisterServer"); }

void SetStandinNumber(const char* name, DWORD value) {
  HKEY key = OpenSettings();
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void SetStandinText(const char* name, const std::string& value) {
  HKEY key = OpenSettings();
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

void ResetStandin() {
  HKEY key = OpenSettings();
  for (const char* name :
       {standin::kFailCreations, standin::kSAlign, standin::kFail, standin::kInstallerSkips})
    RegDeleteValueA(key, name);
  RegCloseKey(key);
  ClearStandinLog();
}

void ClearStandinLog() { DeleteFileA(standin::LogPath().c_str()); }

std::vector<std::string> StandinLog() {
  std::vector<std::string> lines;
  const std::string text = ReadWholeFile(standin::LogPath());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool WaitForLogLine(const std::string& line, DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    for (const std::string& l : StandinLog())
      if (l == line) return true;
    Sleep(20);
  } while (GetTickCount() - start < ms);
  return false;
}

HostWindow::HostWindow() {
  RegisterHostClass("SsiFlashTestForm");
  RegisterHostClass("SsiFlashTestPanel");
  window_ =
      CreateWindowExA(0, "SsiFlashTestForm", "Flash test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                      40, 40, 360, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  panel_ = CreateWindowExA(0, "SsiFlashTestPanel", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                           0, 352, 152, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
  ShowWindow(window_, SW_SHOWNOACTIVATE);
}

HostWindow::~HostWindow() { Destroy(); }

HWND HostWindow::ControlWindow() const {
  return panel_ ? FindWindowExA(panel_, nullptr, standin::kWindowClass, nullptr) : nullptr;
}

bool HostWindow::Destroy() {
  if (!window_) return true;
  const bool ok = DestroyWindow(window_) != FALSE;
  window_ = nullptr;
  panel_ = nullptr;
  return ok;
}

FlashInstallerFixture::FlashInstallerFixture(const std::string& flashInstaller) {
  in.paths.windowsDir = WindowsDir();
  const std::string folder = MakeTempFolder("flash");
  in.paths.saverDir = folder;
  in.paths.tempCopyPath = folder + "temp0.dat";
  // A stand-in for the stub in front of the payload, then the entry's bytes.
  const std::string stub(512, 'S');
  EXPECT_TRUE(WriteWholeFile(in.paths.tempCopyPath, stub + flashInstaller));
  if (flashInstaller.empty()) return;
  PayloadEntry& e = in.header.entries[2];
  e.name = "flashax.exe";
  e.kind = 3;
  e.startOffset = static_cast<int32_t>(stub.size());
  e.endOffset = static_cast<int32_t>(stub.size() + flashInstaller.size() - 1);
  e.expandedSize = static_cast<int32_t>(flashInstaller.size());
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace ssi::test
