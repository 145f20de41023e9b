#pragma once
// A folder of ours under the Windows TEMP folder, where every user may create
// folders: one found under our name may belong to someone else, or be a link
// to somewhere else, and anything we put in it would then be theirs to change
// before we use it.
#include <windows.h>

#include <string>

#include "win_handles.h"

namespace ssi {

// Makes `path` a private folder (below): creates it so when missing (owner
// Administrators; protected access list: Administrators and SYSTEM full
// control); removes a file or a link found under its name (the entry only,
// never what it points at); an empty folder of someone else's is made anew,
// one with contents is renamed aside (AsideName) and never taken over. True
// when it is a private folder afterwards, or one it made itself: that one is
// kept open in `made` (neither renamed nor removed while held), which tells
// it from a folder someone else made where the file system reports every
// owner alike (Wine). Shows nothing: who made the folder is not the user's
// problem.
bool MakeFolderPrivate(const std::string& path, FileHandle& made);

// True when `path` is a real directory (not a reparse point) that passes
// IsPrivateSecurity.
bool FolderIsPrivate(const std::string& path);

// Owned by Administrators, SYSTEM or `ownAccount` (null: no such account;
// FolderIsPrivate passes the installer's account only when its token is not
// elevated), with an access list that gives no other account a right to
// add, write, delete, or change attributes, owner or access list, neither on
// the folder nor by inheritance on what is made in it. A missing or null
// access list gives everyone every right.
bool IsPrivateSecurity(PSECURITY_DESCRIPTOR security, PSID ownAccount);

// What MakeFolderPrivate does with what it finds under the folder's name:
// `attributes` as GetFileAttributes gives them, `isPrivate` as
// FolderIsPrivate says.
enum class FoundAction { kCreate, kRemoveEntry, kKeep, kRemoveOrRenameAside };
FoundAction ActionFor(DWORD attributes, bool isPrivate);
// The n-th name tried for a folder moved aside: beside `path`, with this
// process's id, so that no other run's name is taken.
std::string AsideName(const std::string& path, int number);

}  // namespace ssi
