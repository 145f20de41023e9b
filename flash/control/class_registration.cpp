#include "class_registration.h"

#include <windows.h>
#include <shlwapi.h>

#include "control_identity.h"

namespace flashctl {
namespace {

std::string ClassesKey(const std::string& path) { return "Software\\Classes\\" + path; }
std::string ClassKey() { return std::string("CLSID\\") + kClsidText; }

bool SetValue(const std::string& path, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ClassesKey(path).c_str(), 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status =
      RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void DeleteTree(const std::string& path) {
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, ClassesKey(path).c_str());  // XP has no RegDeleteTree
}

}  // namespace

bool RegisterControlClass(const std::string& controlPath) {
  const std::string key = ClassKey();
  const std::string progId = kProgId, versioned = kProgIdVersioned;
  return SetValue(key, nullptr, kDescription) &&
         SetValue(key + "\\InprocServer32", nullptr, controlPath) &&
         SetValue(key + "\\InprocServer32", "ThreadingModel", "Apartment") &&
         SetValue(key + "\\ProgID", nullptr, versioned) &&
         SetValue(key + "\\VersionIndependentProgID", nullptr, progId) &&
         SetValue(key + "\\Control", nullptr, "") && SetValue(progId, nullptr, kDescription) &&
         SetValue(progId + "\\CLSID", nullptr, kClsidText) &&
         SetValue(progId + "\\CurVer", nullptr, versioned) &&
         SetValue(versioned, nullptr, kDescription) &&
         SetValue(versioned + "\\CLSID", nullptr, kClsidText);
}

void UnregisterControlClass() {
  DeleteTree(ClassKey());
  DeleteTree(kProgId);
  DeleteTree(kProgIdVersioned);
}

std::string RegisteredControlPath() {
  HKEY key = nullptr;
  const std::string path = ClassesKey(ClassKey() + "\\InprocServer32");
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  char value[MAX_PATH * 2] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  const LONG status =
      RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  return value;
}

}  // namespace flashctl
