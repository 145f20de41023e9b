#pragma once
// The user's own choices from the settings dialog, kept per user under
// HKEY_CURRENT_USER\Software\Screen Saver Installer\<SaverName>. They override
// the author's layout; without them the layout's values hold.
#include <cstdint>
#include <string>

namespace saver {

struct UserSettings {
  uint16_t pictureSeconds = 0;  // 0: the author's
  int shuffle = -1;             // -1: the author's, 0 as listed, 1 shuffled
};

std::string UserSettingsKey(const std::string& saverName);
UserSettings LoadUserSettings(const std::string& saverName);
bool SaveUserSettings(const std::string& saverName, const UserSettings& settings);
void DeleteUserSettings(const std::string& saverName);

}  // namespace saver
