#include "file_replace.h"
// placeholder: to be written
namespace ssi {
bool FileExists(const std::string&) { return false; }
bool FolderExists(const std::string&) { return false; }
ResultCode DeleteFileOnce(const std::string&) { return rc::kOk; }
ResultCode DeleteFileRetrying(Installer&, const std::string&) { return rc::kOk; }
}  // namespace ssi
