#pragma once
// A running program cannot delete its own file, so the uninstall leaves that
// to a copy of itself in the temporary folder: started as "/x PID PATH", the
// copy waits for process PID to end, deletes PATH, and then has its own file
// removed as soon as it has ended.
#include <windows.h>

#include <string>

#include "saver_paths.h"

namespace saver {

// Starts the copy that deletes `target` once this process has ended.
bool DeleteAfterExit(const SaverPaths& paths, const std::string& target);

// The copy's part. Deletes only a ".scr" file of the Windows directory.
int RunDeleteAfter(const SaverPaths& paths, DWORD pid, const std::string& target);

}  // namespace saver
