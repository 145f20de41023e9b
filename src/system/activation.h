#pragma once
// Handing the installed screen saver over to the system: system.ini, the
// screen saver active flag, Display Properties, the read-me and the uninstall
// entry.
#include <windows.h>

#include <string>

#include "installer.h"
#include "result_codes.h"

namespace ssi {

// The exact title by which Display Properties is known, and what starts it:
// rundll32.exe of the system folder, never one that a search would find
// first in the installer's own folder or the current one.
constexpr const char* kDisplayPropertiesTitle = "Display Properties";
constexpr const char* kDisplayPropertiesArguments = "shell32.dll,Control_RunDLL desk.cpl,,1";
// The system folder + "\rundll32.exe"; empty when the system names no folder.
std::string Rundll32Path();
// How long a click on Display Properties' Cancel may take before the
// installer goes on without it: a hung or hostile window of that title must
// not stop the install.
constexpr UINT kCloseDisplayPropertiesTimeoutMs = 5000;
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
