#pragma once
// Where the installer works: the Windows directory, the temporary copy of the
// installer, and the screen saver's folder with its manifest.
#include <string>

#include "installer.h"
#include "result_codes.h"

namespace ssi {

void ResolveWorkPaths(Installer& in);
ResultCode CopySelfToTemp(Installer& in);
void PrepareSaverDir(Installer& in);

// The path rules behind the steps above, free of system calls.
// windowsDir, windowsTempDir, tempCopyDir and tempCopyPath (numbered 1) from
// the Windows directory as the system reports it.
void SetTempLocations(WorkPaths& paths, const std::string& reportedWindowsDir);
std::string TempCopyPathFor(const std::string& tempCopyDir, int number);
// windowsDir + saverName + " dir\", with a fixed name standing in for an
// empty one.
std::string SaverDirFor(const std::string& windowsDir, const std::string& saverName);

}  // namespace ssi
