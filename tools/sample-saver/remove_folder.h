#pragma once
// Removing the screen saver's folder: only a real folder, never through a
// link. A link inside it (a junction or a symbolic link) is removed as a
// link; what it points to stays.
#include <windows.h>

#include <string>

namespace saver {

struct RemoveOutcome {
  bool removed = false;    // the folder is gone (or was never there)
  bool leftAlone = false;  // not a real folder: a link, or a file of that name
  std::string failedPath;  // the first entry that could not be removed
  DWORD error = 0;         // and why
};

// `folder` ends in a backslash. Goes on past a failure, so that as little as
// possible is left, and reports the first one.
RemoveOutcome RemoveSaverFolder(const std::string& folder);

}  // namespace saver
