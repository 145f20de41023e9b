#pragma once
// "/u": removes the installed screen saver: its folder, its program, its
// uninstall entry, the user's settings, and the system.ini line that makes it
// the current screen saver. impborl.dll stays: other screen savers may use it.
#include <string>

#include "saver_paths.h"
#include "switches.h"

namespace saver {

// Exit codes of "/u".
constexpr int kUninstalled = 0;
constexpr int kUninstallFailed = 1;
constexpr int kUninstallDeclined = 2;

int RunUninstall(const SaverPaths& paths, const Switches& switches);

}  // namespace saver
