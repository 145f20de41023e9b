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

int RunElevated(const std::string& program, const std::string& arguments) {
  ssi::RegKey programClass;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\exefile", 0, KEY_READ,
                    programClass.put()) != ERROR_SUCCESS)
    return -1;
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSKEY;
  info.hkeyClass = programClass.get();
  info.lpVerb = "runas";
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  // Not the caller's current folder, which may be anyone's.
  char system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  if (length > 0 && length < MAX_PATH) info.lpDirectory = system;
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info) || info.hProcess == nullptr) return -1;
  ssi::KernelHandle process(info.hProcess);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}

}  // namespace saver
