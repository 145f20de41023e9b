#pragma once
// Administrator rights for the uninstall only: the screen saver itself runs
// as the user (its manifest asks for no more).
#include <string>

namespace saver {

// False only where the system separates elevated from limited tokens and
// ours is limited; systems without that separation (XP) count as elevated.
bool IsElevated();

// Runs this program again with `arguments` through the "runas" verb and
// waits for it; its exit code, or -1 when it could not be started (the user
// refused, for instance).
int RunElevated(const std::string& arguments);

}  // namespace saver
