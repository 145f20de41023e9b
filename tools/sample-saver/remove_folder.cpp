#include "remove_folder.h"

#include "delete_by_handle.h"

namespace saver {
namespace {

constexpr int kMaxDepth = 32;  // deeper trees are not ours

// Files are opened exclusively: an open that another program holds makes
// this fail at once (it is in use), and none can be made afterwards. Folders
// are shared, because listing them needs a handle of its own; one that is a
// program's current folder still refuses the deletion access.
ssi::FileHandle OpenForDeletion(const std::wstring& path, bool folder) {
  const DWORD share = folder ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0;
  const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0);
  return ssi::FileHandle(
      CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                  share, nullptr, OPEN_EXISTING, flags, nullptr));
}

bool Hold(FolderHold& hold, const std::wstring& path, bool folder) {
  ssi::FileHandle handle = OpenForDeletion(path, folder);
  if (!handle) {
    hold.error = GetLastError();
    hold.busyPath = Narrow(path);
    return false;
  }
  hold.entries.push_back({std::move(handle), path, folder});
  return true;
}

// `folder` with its backslash; the folder itself is held after its entries.
bool HoldTree(FolderHold& hold, const std::wstring& folder, int depth) {
  if (depth > kMaxDepth) {
    hold.error = ERROR_FILENAME_EXCED_RANGE;
    hold.busyPath = Narrow(folder);
    return false;
  }
  WIN32_FIND_DATAW data{};
  {
    ssi::FindHandle search(FindFirstFileW((folder + L"*").c_str(), &data));
    if (search) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + name;
        const DWORD a = data.dwFileAttributes;
        // A link is held as the link itself and never entered.
        const bool ok = (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)
                            ? HoldTree(hold, path + L"\\", depth + 1)
                            : Hold(hold, path, (a & FILE_ATTRIBUTE_DIRECTORY) != 0);
        if (!ok) return false;
      } while (FindNextFileW(search.get(), &data));
    }
  }
  return Hold(hold, folder.substr(0, folder.size() - 1), true);
}

}  // namespace

FolderHold HoldSaverFolder(const std::string& folder) {
  FolderHold hold;
  if (folder.size() < 2 || folder.back() != '\\') {
    hold.leftAlone = true;
    return hold;
  }
  const std::wstring wide = Widen(folder);
  const std::wstring bare = wide.substr(0, wide.size() - 1);
  const DWORD attributes = GetFileAttributesW(bare.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return hold;  // nothing to remove
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    hold.leftAlone = true;
    return hold;
  }
  if (!HoldTree(hold, wide, 0)) hold.entries.clear();
  return hold;
}

RemoveOutcome RemoveHeldFolder(FolderHold& hold) {
  RemoveOutcome outcome;
  for (HeldEntry& entry : hold.entries) {
    DWORD error = ClearReadOnly(entry.handle.get());
    if (error == ERROR_SUCCESS) error = MarkForDeletion(entry.handle.get());
    // Closing deletes it; the folder holding it can go only after that.
    entry.handle.reset();
    if (error != ERROR_SUCCESS && outcome.failedPath.empty()) {
      outcome.failedPath = Narrow(entry.path);
      outcome.error = error;
    }
  }
  hold.entries.clear();
  return outcome;
}

}  // namespace saver
