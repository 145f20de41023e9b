#pragma once
// A folder of ours under the Windows TEMP folder, where every user may create
// folders: one found under our name may belong to someone else, or be a link
// to somewhere else, and anything we put in it would then be theirs to change
// before we use it.
#include <windows.h>

#include <string>

namespace ssi {

// Makes `path` a private folder (below): creates it so when missing; removes
// a file or a link found under its name (the entry only, never what it points
// at); an empty folder of someone else's is made anew, one with contents is
// taken over (owner Administrators; protected access list: Administrators and
// SYSTEM full control). True when it is a private folder afterwards. Shows
// nothing: who made the folder is not the user's problem.
bool MakeFolderPrivate(const std::string& path);

// True when `path` is a real directory (not a reparse point) that passes
// IsPrivateSecurity.
bool FolderIsPrivate(const std::string& path);

// Owned by Administrators, SYSTEM or the account the installer runs as, with
// an access list that gives no other account a right to add, write, delete, or change attributes,
// owner or access list, neither on the folder nor by inheritance on what is made in it. A missing
// or null access list gives everyone every right.
bool IsPrivateSecurity(PSECURITY_DESCRIPTOR security);

}  // namespace ssi
