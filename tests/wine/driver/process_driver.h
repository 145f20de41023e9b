#pragma once
// Starting a program under test and waiting for it, never without a bound.
#include <windows.h>

#include <string>

#include "win_handles.h"

namespace ssi::driver {

struct StartedProcess {
  KernelHandle process;
  DWORD pid = 0;
  explicit operator bool() const { return static_cast<bool>(process); }
};

// Starts `exe` (a Windows path), with `argument` appended to its command line
// when not empty. The working folder is `workingFolder`, or the program's own
// folder when that is empty. On failure the result is empty and `error` says
// why.
StartedProcess StartProgram(const std::string& exe, const std::string& argument, std::string& error,
                            const std::string& workingFolder = {});

// True when the process ended within `timeoutMs`; its exit code in `exitCode`.
bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode = nullptr);

bool HasExited(HANDLE process);

// Ends a process that outlived its test; waits a little for it to go.
void Terminate(HANDLE process);

// The process of a pid, for the command-line driver that gets pids as text.
KernelHandle OpenProcessById(DWORD pid);

}  // namespace ssi::driver
