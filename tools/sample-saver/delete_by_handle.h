#pragma once
// Deleting and renaming through a handle already held, so that what goes is
// the very file that was opened and checked, never whatever a path names by
// then. The calls are the native ones: Windows XP has no
// SetFileInformationByHandle.
#include <windows.h>

#include <string>

namespace saver {

// Marks the file or empty folder for deletion when its last handle closes
// (the handle needs DELETE access); a Win32 error code, or 0.
DWORD MarkForDeletion(HANDLE file);

// Clears the read-only attribute, which would refuse the deletion (the
// handle needs FILE_WRITE_ATTRIBUTES); a Win32 error code, or 0.
DWORD ClearReadOnly(HANDLE file);

// Gives the file the name `name` inside the open folder `folder`; never
// replaces an existing file. A Win32 error code (ERROR_ALREADY_EXISTS when
// the name is taken), or 0.
DWORD RenameInto(HANDLE file, HANDLE folder, const std::wstring& name);

// The ANSI path as wide characters, and back for messages.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace saver
