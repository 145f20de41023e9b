#pragma once
// Removing the screen saver's folder in two steps, so that a file in use is
// found before anything is gone: first every entry is opened for deletion
// (files exclusively, so nobody can open them after the check either), then
// each goes through its own handle. Only a real folder is removed, never
// through a link: a link inside is opened as a link, and removing it leaves
// what it points to alone.
#include <windows.h>

#include <string>
#include <vector>

#include "win_handles.h"

namespace saver {

struct HeldEntry {
  ssi::FileHandle handle;
  std::wstring path;
  bool folder = false;
};

struct FolderHold {
  std::vector<HeldEntry> entries;  // what a folder holds comes before the folder
  bool leftAlone = false;          // not a real folder: a link, or a file of that name
  std::string busyPath;            // the first entry that could not be opened
  DWORD error = 0;                 // and why
  bool Busy() const { return !busyPath.empty(); }
};

struct RemoveOutcome {
  std::string failedPath;  // the first entry that could not be removed
  DWORD error = 0;         // and why
  bool Removed() const { return failedPath.empty(); }
};

// `folder` ends in a backslash. Stops at the first entry it cannot open and
// lets go of all others then.
FolderHold HoldSaverFolder(const std::string& folder);

// Deletes the held entries; goes on past a failure, so that as little as
// possible is left, and reports the first one.
RemoveOutcome RemoveHeldFolder(FolderHold& hold);

}  // namespace saver
