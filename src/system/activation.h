#pragma once
// Handing the installed screen saver over to the system: system.ini, the
// screen saver active flag, Display Properties, the read-me and the uninstall
// entry.
#include <windows.h>

#include "installer.h"
#include "result_codes.h"

namespace ssi {

// The exact title and command line by which Display Properties is known.
constexpr const char* kDisplayPropertiesTitle = "Display Properties";
constexpr const char* kDisplayPropertiesCommand =
    "rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1";
constexpr const char* kUninstallKeyBase =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

ResultCode ActivateScreenSaver(Installer& in);
void OpenDisplayProperties(Installer& in);
void CloseDisplayProperties();
void OpenReadMe(Installer& in);
ResultCode WriteUninstallEntry(Installer& in);
void CleanUpFailedInstall(Installer& in);

// Switches screen saving on (SPI_SETSCREENSAVEACTIVE, broadcast, not saved to
// the profile); false when the system refuses.
bool SetScreenSaverActiveThroughSystem();
// What ActivateScreenSaver calls: the above in the shipped stub
// (release_build.cpp); a test build links one that can refuse, which Wine
// never does (test_build.cpp).
bool SetScreenSaverActive();

}  // namespace ssi
