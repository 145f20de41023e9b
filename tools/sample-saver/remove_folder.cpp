#include "remove_folder.h"

#include "win_handles.h"

namespace saver {
namespace {

constexpr int kMaxDepth = 32;  // deeper trees are not ours

void Note(RemoveOutcome& outcome, const std::string& path) {
  if (!outcome.failedPath.empty()) return;
  outcome.failedPath = path;
  outcome.error = GetLastError();
}

void RemoveFile(const std::string& path, DWORD attributes, RemoveOutcome& outcome) {
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (!DeleteFileA(path.c_str())) Note(outcome, path);
}

// Empties and removes `folder` (with its backslash); never enters a link.
void RemoveTree(const std::string& folder, int depth, RemoveOutcome& outcome) {
  if (depth > kMaxDepth) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    Note(outcome, folder);
    return;
  }
  WIN32_FIND_DATAA data{};
  {
    ssi::FindHandle search(FindFirstFileA((folder + "*").c_str(), &data));
    if (search) {
      do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + name;
        const DWORD a = data.dwFileAttributes;
        if ((a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
          // Removing a directory link removes the link, not its target.
          if (!RemoveDirectoryA(path.c_str())) Note(outcome, path);
        } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path + "\\", depth + 1, outcome);
        } else {
          RemoveFile(path, a, outcome);
        }
      } while (FindNextFileA(search.get(), &data));
    }
  }
  const std::string bare = folder.substr(0, folder.size() - 1);
  if (!RemoveDirectoryA(bare.c_str())) Note(outcome, bare);
}

}  // namespace

RemoveOutcome RemoveSaverFolder(const std::string& folder) {
  RemoveOutcome outcome;
  if (folder.size() < 2 || folder.back() != '\\') {
    outcome.leftAlone = true;
    return outcome;
  }
  const std::string bare = folder.substr(0, folder.size() - 1);
  const DWORD attributes = GetFileAttributesA(bare.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    outcome.removed = true;  // nothing to remove
    return outcome;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    outcome.leftAlone = true;
    return outcome;
  }
  RemoveTree(folder, 0, outcome);
  outcome.removed = outcome.failedPath.empty();
  return outcome;
}

}  // namespace saver
