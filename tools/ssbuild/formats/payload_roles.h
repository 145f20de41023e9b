#pragma once
// The fixed roles of the payload entries, addressed by index as the stub
// addresses them, and the names and kinds the builder gives them.
#include <cstdint>
#include <string>

namespace ssbuild {

constexpr int kFirstRole = 1;  // entry 0 is the stub itself
constexpr int kLastRole = 10;

// "stub", "library", "flash", "preview", "licence", "readme", "saver",
// "further", "data", "support1", "support2"; "" outside 0..10.
const char* RoleName(int index);

// The index for a role name or a plain number "0".."10"; -1 when unknown.
int RoleIndex(const std::string& text);

// The EntryKind the builder writes: 6 for the stub, 3 for the library and
// the Flash player installer, 2 for the screen saver program, 4 for the data
// file, 5 (SaverDir) for the rest.
int32_t RoleKind(int index);

// The entry name when none is given: fixed by the role for the library
// ("impborl.dat"), the Flash player installer ("flashax.exe") and the screen
// saver program (name + ".scr"); otherwise the source file's base name, or
// name + ".ssd" for a data file that the builder made itself. Empty when the
// role has no fixed name and there is no source file.
std::string DefaultEntryName(int index, const std::string& saverName,
                             const std::string& sourcePath);

// Checks a name given for a role against what the stub needs: a plain file
// name of at most 255 bytes; for the library a name that lands as
// "impborl.dll", for the Flash player installer exactly "flashax.exe", for
// the screen saver program name + ".scr". Empty on success, else the reason.
std::string CheckRoleName(int index, const std::string& name, const std::string& saverName);

}  // namespace ssbuild
