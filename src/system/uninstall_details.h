#pragma once
// The uninstall entry's values beyond its display name, which Add or Remove
// Programs shows or uses: the commands (plain and quiet), the icon, the
// author's publisher and version (from the show layout in the data file's
// settings record), the size of the installed files, and that the screen
// saver offers neither a change nor a repair.
#include <windows.h>

#include <cstdint>
#include <string>

#include "installer.h"

namespace ssi {

// Writes them into the open uninstall key; the first refusal's error number,
// or 0.
long WriteUninstallDetails(HKEY key, const Installer& in);

// Kilobytes taken by the screen saver program and its folder, rounded up,
// without the files the install deletes when it ends (the data file and
// saver.ini).
uint32_t InstalledSizeKb(const Installer& in);

}  // namespace ssi
