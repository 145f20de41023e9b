#pragma once
// Handing the installed screen saver over to the system: system.ini, the
// screen saver active flag, Display Properties, the read-me and the uninstall
// entry.
#include "installer.h"
#include "result_codes.h"

namespace ssi {

ResultCode ActivateScreenSaver(Installer& in);
void OpenDisplayProperties(Installer& in);
void CloseDisplayProperties();
void OpenReadMe(Installer& in);
ResultCode WriteUninstallEntry(Installer& in);
void CleanUpFailedInstall(Installer& in);

}  // namespace ssi
