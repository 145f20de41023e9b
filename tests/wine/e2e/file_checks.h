#pragma once
// What the installer left on disk, seen from inside the same prefix.
#include <map>
#include <set>
#include <string>

namespace ssi::e2e {

bool FileExists(const std::string& path);  // a file, not a folder
bool FolderExists(const std::string& path);

// The names in a folder (files and folders, without "." and "..").
std::set<std::string> FolderEntries(const std::string& folder);

// The keys and values of one section of an initialisation file, as written.
std::map<std::string, std::string> IniSection(const std::string& path, const std::string& section);

// Deletes every file in a folder (not below it); used to start from an empty
// TEMP\VLF temp.
void DeleteFilesIn(const std::string& folder);

// Where the installer works for a screen saver name, as the system reports
// the Windows directory.
struct InstallerPlaces {
  std::string windowsDir;   // C:\windows\ .
  std::string tempCopyDir;  // ...\TEMP\VLF temp\ .
  std::string saverDir;     // ...\<name> dir\ .
  std::string saverIni;
  std::string TempCopy(int n) const { return tempCopyDir + "temp" + std::to_string(n) + ".dat"; }
};
InstallerPlaces PlacesFor(const std::string& saverName);

// The folders outside the installer's own places that a hostile payload
// would aim at, listed before and after a run.
struct OutsideSnapshot {
  std::set<std::string> root, windows, system32;
};
OutsideSnapshot TakeOutsideSnapshot();
// New names since `before`, excluding the ones the installer may make in the
// Windows directory (`allowedInWindows`), one per line; empty when none.
std::string NewOutsideEntries(const OutsideSnapshot& before, const OutsideSnapshot& after,
                              const std::set<std::string>& allowedInWindows);

}  // namespace ssi::e2e
