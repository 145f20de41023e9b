#include "elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "win_handles.h"

namespace saver {

bool IsElevated() {
  ssi::KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return true;
  constexpr int kTokenElevation = 20;  // TOKEN_INFORMATION_CLASS, Vista and later
  DWORD elevated = 0;
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevation),
                           &elevated, sizeof elevated, &size))
    return true;
  return elevated != 0;
}

int RunElevated(const std::string& arguments) {
  char program[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return -1;
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "runas";
  info.lpFile = program;
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info) || info.hProcess == nullptr) return -1;
  ssi::KernelHandle process(info.hProcess);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}

}  // namespace saver
