#include "user_settings.h"

#include <windows.h>

#include "show_layout.h"
#include "win_handles.h"

namespace saver {
namespace {

constexpr const char* kBase = "Software\\Screen Saver Installer\\";

bool ReadDword(HKEY key, const char* name, DWORD& value) {
  DWORD type = 0;
  DWORD size = sizeof value;
  return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
             ERROR_SUCCESS &&
         type == REG_DWORD && size == sizeof value;
}

bool WriteDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS;
}

}  // namespace

std::string UserSettingsKey(const std::string& saverName) { return kBase + saverName; }

UserSettings LoadUserSettings(const std::string& saverName) {
  UserSettings settings;
  ssi::RegKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, UserSettingsKey(saverName).c_str(), 0, KEY_QUERY_VALUE,
                    key.put()) != ERROR_SUCCESS)
    return settings;
  DWORD value = 0;
  if (ReadDword(key.get(), "PictureSeconds", value) && value >= 1 &&
      value <= ssi::kMaxPictureSeconds)
    settings.pictureSeconds = static_cast<uint16_t>(value);
  if (ReadDword(key.get(), "Shuffle", value) && value <= 1)
    settings.shuffle = static_cast<int>(value);
  return settings;
}

bool SaveUserSettings(const std::string& saverName, const UserSettings& settings) {
  ssi::RegKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, UserSettingsKey(saverName).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  return WriteDword(key.get(), "PictureSeconds", settings.pictureSeconds) &&
         WriteDword(key.get(), "Shuffle", settings.shuffle == 1 ? 1 : 0);
}

void DeleteUserSettings(const std::string& saverName) {
  RegDeleteKeyA(HKEY_CURRENT_USER, UserSettingsKey(saverName).c_str());
  // The parent goes too once no other screen saver keeps settings there.
  std::string base(kBase);
  base.pop_back();
  RegDeleteKeyA(HKEY_CURRENT_USER, base.c_str());  // fails while it has subkeys
}

}  // namespace saver
