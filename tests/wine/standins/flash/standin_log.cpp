#include "standin_log.h"

#include "flash_standin.h"

namespace ssi::standin {
namespace {

class SettingsKey {
 public:
  SettingsKey() {
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
  }
  ~SettingsKey() {
    if (key_) RegCloseKey(key_);
  }
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string ReadString(const char* name) {
  SettingsKey key;
  char buf[512] = {};
  DWORD size = sizeof buf - 1;
  DWORD type = 0;
  if (!key.get() ||
      RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != 0 ||
      type != REG_SZ)
    return {};
  return std::string(buf);
}

}  // namespace

void Log(const std::string& line) {
  const std::string path = LogPath();
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD put = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  CloseHandle(file);
}

std::string Narrow(BSTR text) {
  if (!text) return {};
  const int length = static_cast<int>(SysStringLen(text));
  const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

bool ShouldFail(const char* member) {
  const std::string list = "," + ReadString(kFail) + ",";
  return list.find("," + std::string(member) + ",") != std::string::npos;
}

bool RefuseCreation() {
  SettingsKey key;
  DWORD count = 0;
  DWORD size = sizeof count;
  DWORD type = 0;
  if (!key.get() ||
      RegQueryValueExA(key.get(), kFailCreations, nullptr, &type, reinterpret_cast<BYTE*>(&count),
                       &size) != 0 ||
      type != REG_DWORD || count == 0)
    return false;
  --count;
  RegSetValueExA(key.get(), kFailCreations, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count),
                 sizeof count);
  return true;
}

DWORD ReadNumber(const char* name) {
  SettingsKey key;
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (!key.get() ||
      RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          0 ||
      type != REG_DWORD)
    return 0;
  return value;
}

std::wstring InitialSAlign() {
  const std::string text = ReadString(kSAlign);
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

}  // namespace ssi::standin
