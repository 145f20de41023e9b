#include "file_checks.h"

#include <windows.h>

#include <vector>

#include "artifacts.h"

namespace ssi::e2e {

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

std::map<std::string, std::string> IniSection(const std::string& path, const std::string& section) {
  std::map<std::string, std::string> keys;
  if (!FileExists(path)) return keys;
  std::vector<char> buffer(65536);
  const DWORD length = GetPrivateProfileSectionA(section.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), path.c_str());
  for (size_t at = 0; at < length && buffer[at] != '\0';) {
    const std::string line = buffer.data() + at;
    at += line.size() + 1;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return keys;
}

void DeleteFilesIn(const std::string& folder) {
  for (const std::string& name : FolderEntries(folder)) {
    const std::string path = folder + name;
    if (FileExists(path)) {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  }
}

InstallerPlaces PlacesFor(const std::string& saverName) {
  InstallerPlaces places;
  places.windowsDir = test::WindowsDir();
  places.tempCopyDir = places.windowsDir + "TEMP\\VLF temp\\";
  places.saverDir =
      places.windowsDir + (saverName.empty() ? std::string("TempSaverDir") : saverName) + " dir\\";
  places.saverIni = places.saverDir + "saver.ini";
  return places;
}

OutsideSnapshot TakeOutsideSnapshot() {
  const std::string windows = test::WindowsDir();
  OutsideSnapshot s;
  s.root = FolderEntries(windows.substr(0, 3));  // "C:\"
  s.windows = FolderEntries(windows);
  s.system32 = FolderEntries(windows + "system32\\");
  return s;
}

namespace {
void AddNew(const std::set<std::string>& before, const std::set<std::string>& after,
            const std::set<std::string>& allowed, const std::string& where, std::string& out) {
  for (const std::string& name : after)
    if (!before.count(name) && !allowed.count(name)) out += where + name + "\n";
}
}  // namespace

std::string NewOutsideEntries(const OutsideSnapshot& before, const OutsideSnapshot& after,
                              const std::set<std::string>& allowedInWindows) {
  std::string out;
  AddNew(before.root, after.root, {}, "C:\\", out);
  AddNew(before.windows, after.windows, allowedInWindows, "C:\\windows\\", out);
  AddNew(before.system32, after.system32, {}, "C:\\windows\\system32\\", out);
  return out;
}

}  // namespace ssi::e2e
