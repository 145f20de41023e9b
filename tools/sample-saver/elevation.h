#pragma once
// Administrator rights for the uninstall only: the screen saver itself runs
// as the user (its manifest asks for no more).
#include <string>

namespace saver {

// False only where the system separates elevated from limited tokens and
// ours is limited; systems without that separation (XP) count as elevated.
bool IsElevated();

// Runs `program` with `arguments` through the "runas" verb of the machine's
// class for programs, and waits for it; its exit code, or -1 when it could
// not be started (the user refused, for instance). The file's own class is
// never asked: where the user's classes come first, the user's malware
// would choose what runs as administrator.
int RunElevated(const std::string& program, const std::string& arguments);

// Which instance does what. The user's settings live in HKEY_CURRENT_USER,
// which to an elevated process of a split token is either the same user's
// (and so open to that user's malware) or, when an administrator typed a
// password, the administrator's own: only an instance that runs as the user
// who asked deletes them.
struct UninstallRoles {
  bool elevateFirst;     // start an elevated instance to remove the files
  bool removesFiles;     // the folder, the program, system.ini and the entry
  bool deletesSettings;  // the user's own settings, once the files are gone
};

constexpr UninstallRoles RolesFor(bool elevated, bool startedElevatedByUs) {
  if (!elevated) return {true, false, true};
  return {false, true, !startedElevatedByUs};
}

}  // namespace saver
