#pragma once
// Where the installer works: the Windows directory, the temporary copy of the
// installer, and the screen saver's folder with its manifest.
#include "installer.h"
#include "result_codes.h"

namespace ssi {

void ResolveWorkPaths(Installer& in);
ResultCode CopySelfToTemp(Installer& in);
void PrepareSaverDir(Installer& in);

}  // namespace ssi
