#pragma once
// The installed program, <WindowsDir><SaverName>.scr, goes in two steps like
// the folder: held first (so that a program holding it open is found before
// anything is removed), then deleted through that handle. A running program
// cannot be deleted, and this one usually runs the uninstall; it is moved
// instead into a folder that only administrators can change (the installer's
// private work folder) and deleted there when Windows next starts. Nothing is
// ever written to, or started from, a folder that a user can change.
#include <windows.h>

#include <string>

#include "win_handles.h"

namespace saver {

struct ProgramHold {
  ssi::FileHandle handle;  // empty: nothing to remove
  std::string busyPath;
  DWORD error = 0;
  bool Busy() const { return !busyPath.empty(); }
};

// Only a plain file is held; a folder or a link of that name is left alone.
ProgramHold HoldProgram(const std::string& path);

// Deletes the held program, or moves it into `privateFolder` (the folder is
// made private first) to be deleted at the next start. A Win32 error code,
// or 0; `refusedFolder` gets the folder when it is someone else's and could
// not be made private.
DWORD RemoveHeldProgram(ProgramHold& hold, const std::string& privateFolder,
                        std::string* refusedFolder = nullptr);

}  // namespace saver
