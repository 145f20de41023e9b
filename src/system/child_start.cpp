#include "child_start.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "com_ptr.h"
#include "win_handles.h"

namespace ssi {

TokenState TokenStateFrom(bool queried, DWORD isElevated) {
  if (!queried) return TokenState::kNoElevation;
  return isElevated != 0 ? TokenState::kElevated : TokenState::kNotElevated;
}

TokenState CurrentTokenState() {
  HANDLE token = nullptr;
  // A token that cannot be read is treated as the elevated one it may be.
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return TokenState::kElevated;
  const KernelHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool queried =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE;
  return TokenStateFrom(queried, elevation.TokenIsElevated);
}

StartPlan PlanForUserProgram(TokenState token) {
  if (token != TokenState::kElevated) return {false, true};
  return {true, false};
}

namespace {

std::string MachineFolder(const char* value, const std::string& fallback) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return fallback;
  const RegKey owned(key);
  char text[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ || text[0] == '\0')
    return fallback;
  return text;
}

}  // namespace

std::string SystemEnvironment(const std::string& windowsDir) {
  const std::string windows = windowsDir.substr(0, windowsDir.size() - 1);
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
  const std::string system =
      n > 0 && n < MAX_PATH ? std::string(buffer, n) : windows + "\\system32";
  const std::string drive = windows.substr(0, 2);
  const std::string programFiles = MachineFolder("ProgramFilesDir", drive + "\\Program Files");
  // In the order the system keeps a block, case ignored.
  const std::string entries[] = {
      "CommonProgramFiles=" + MachineFolder("CommonFilesDir", programFiles + "\\Common Files"),
      "PATH=" + system + ";" + windows + ";" + system + "\\Wbem",
      "ProgramFiles=" + programFiles,
      "SystemDrive=" + drive,
      "SystemRoot=" + windows,
      "TEMP=" + windowsDir + "TEMP",
      "TMP=" + windowsDir + "TEMP",
      "windir=" + windows,
  };
  std::string block;
  for (const std::string& entry : entries) block += entry + '\0';
  return block + '\0';
}

bool StartProgramDirectly(const std::string& program, const std::string& arguments,
                          const std::string& folder, WORD show, DWORD* error,
                          const std::string* environment) {
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION started{};
  void* block = environment ? const_cast<char*>(environment->data()) : nullptr;
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, block,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
    if (error) *error = GetLastError();
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

bool OpenThroughDesktopShell(const std::string& file, const std::string& arguments,
                             const std::string& folder) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.PutVoid())))
    return false;
  VARIANT none{};
  long window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Put()) !=
          S_OK ||
      !desktop)
    return false;
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(desktop.QueryInto(IID_IServiceProvider, services)) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) ||
      FAILED(browser->QueryActiveShellView(view.Put())) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())) ||
      FAILED(background.QueryInto(IID_IShellFolderViewDual, folderView)) ||
      FAILED(folderView->get_Application(application.Put())) ||
      FAILED(application.QueryInto(IID_IShellDispatch2, shell)))
    return false;
  const Bstr fileText = Bstr::FromAnsi(file);
  Bstr argumentText = Bstr::FromAnsi(arguments);
  Bstr folderText = Bstr::FromAnsi(folder);
  VARIANT args{};
  args.vt = VT_BSTR;
  args.bstrVal = argumentText.get();
  VARIANT dir{};
  dir.vt = VT_BSTR;
  dir.bstrVal = folderText.get();
  VARIANT verb{};
  VARIANT show{};
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell->ShellExecute(fileText.get(), args, dir, verb, show));
}

bool StartForUser(const std::string& file, const std::string& arguments, const std::string& folder,
                  bool isProgram) {
  const StartPlan plan = PlanForUserProgram(CurrentTokenState());
  if (plan.throughDesktopShell && OpenThroughDesktopShell(file, arguments, folder)) return true;
  if (!plan.directly) return false;
  if (isProgram) return StartProgramDirectly(file, arguments, folder, SW_SHOWNORMAL);
  const HINSTANCE started = ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr,
                                          folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace ssi
