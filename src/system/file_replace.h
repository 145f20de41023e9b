#pragma once
// Clearing the way for a file that is about to be written, when another
// program may hold the old one open.
#include <string>

#include "installer.h"
#include "result_codes.h"

namespace ssi {

// A file exists when the path names an existing entry that is not a folder.
bool FileExists(const std::string& path);
// True when the attributes can be read and have the directory bit.
bool FolderExists(const std::string& path);

// One delete, then one more after clearing the attributes. 0, -32 or an error
// number; never shows anything.
ResultCode DeleteFileOnce(const std::string& path);
// Up to 5000 attempts of the above, back to back; on failure -38 for a ".scr"
// path (any case), -32 otherwise, reported through ShowInstallError.
ResultCode DeleteFileRetrying(Installer& in, const std::string& path);

}  // namespace ssi
