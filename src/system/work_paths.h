#pragma once
// Where the installer works: the Windows directory, the temporary copy of the
// installer, and the screen saver's folder with its manifest.
#include <string>

#include "installer.h"
#include "result_codes.h"

namespace ssi {

// The program's entry calls this first thing: it opens the running
// installer's own file, shared for reading only, and keeps it for the set-up,
// which makes the temporary copy from it, when it is the very file the
// system mapped as the program's image. Otherwise (a file renamed into the
// installer's place once it ran) the set-up refuses with the -31 box.
void HoldOwnImage();

// The Windows directory as the system reports it into 301 bytes, so at most
// 300 characters; empty when the system names none.
std::string SystemWindowsDir();

// Sets the work paths and makes the temporary folders ready (nothing when
// HoldOwnImage refused the file at the installer's path); the folder of
// the copy is made private to administrators without a word. Without a
// Windows directory it shows a box and returns a failure: the set-up must not
// go on, or the work paths would lie in the current drive's root.
ResultCode ResolveWorkPaths(Installer& in);
// Copies the installer into a new file at TempCopyPath, moving on to the next
// number when the name is taken, and keeps the handle that made it
// (tempCopyGuard): others may read the copy, nobody may write, rename or
// delete it, and the payload readers read it through that handle.
ResultCode CopySelfToTemp(Installer& in);
// Deletes the copy through its held handle (never by its path, where a link
// could stand by now) and lets go of it.
void DeleteTempCopy(Installer& in);
void PrepareSaverDir(Installer& in);
// Takes away what this run wrote where nothing stood (Installer::newFiles)
// and the screen saver's folder when this run made it and it is empty:
// closing without an install leaves the system as it found it.
void RemoveNewFiles(Installer& in);

// The path rules behind the steps above, free of system calls.
// windowsDir, windowsTempDir, tempCopyDir and tempCopyPath (numbered 1) from
// the Windows directory as the system reports it.
void SetTempLocations(WorkPaths& paths, const std::string& reportedWindowsDir);
std::string TempCopyPathFor(const std::string& tempCopyDir, int number);
// windowsDir + saverName + " dir\", with a fixed name standing in for an
// empty one.
std::string SaverDirFor(const std::string& windowsDir, const std::string& saverName);

}  // namespace ssi
