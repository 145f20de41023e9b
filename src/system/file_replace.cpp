#include "file_replace.h"

#include <windows.h>

#include "error_box.h"
#include "path_rules.h"

namespace ssi {
namespace {

// Attempts a single retry loop makes before it gives up.
constexpr int kDeleteAttempts = 5000;

bool ReadAttributes(const std::string& path, DWORD& attributes) {
  attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

// One delete, and one more with the attributes cleared (a read-only file
// refuses the first). True when no file is left at path.
bool DeleteClearingAttributes(const std::string& path) {
  if (!FileExists(path)) return true;
  if (DeleteFileA(path.c_str())) return true;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path.c_str()) != FALSE;
}

}  // namespace

bool FileExists(const std::string& path) {
  // A folder path never names a file, whatever the system makes of the
  // trailing separator.
  if (path.empty() || path.back() == '\\' || path.back() == '/') return false;
  DWORD attributes = 0;
  return ReadAttributes(path, attributes) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attributes = 0;
  return ReadAttributes(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ResultCode DeleteFileOnce(const std::string& path) {
  return DeleteClearingAttributes(path) ? rc::kOk : rc::kFileBusy;
}

ResultCode DeleteFileRetrying(Installer& in, const std::string& path) {
  // A busy screen saver program means the screen saver page of Display
  // Properties still runs it; the user is told to close that instead.
  const ResultCode busy =
      AsciiLower(PathExtension(path)) == ".scr" ? rc::kSaverBusy : rc::kFileBusy;
  ResultCode result = rc::kUnspecified;
  for (int attempt = 0; attempt < kDeleteAttempts && result != rc::kOk; ++attempt)
    result = DeleteClearingAttributes(path) ? rc::kOk : busy;
  if (result != rc::kOk) ShowInstallError(in.ui, result, path);
  return result;
}

}  // namespace ssi
