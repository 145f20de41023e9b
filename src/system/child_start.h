#pragma once
// Starting the programs of a finished install: always by full path through
// CreateProcess, and those the user goes on to work in (the read-me's viewer,
// Display Properties) as the user who is signed in rather than with the
// installer's elevated token.
#include <windows.h>

#include <string>

namespace ssi {

// What the installer's token says about elevation. kNoElevation: the system
// knows none (Windows XP), so the token is the signed-in user's own.
enum class TokenState { kNoElevation, kNotElevated, kElevated };
// From GetTokenInformation(TokenElevation): whether the query succeeded, and
// the TokenIsElevated it gave.
TokenState TokenStateFrom(bool queried, DWORD isElevated);
TokenState CurrentTokenState();

// How a program the user goes on to work in is started, in this order. An
// elevated installer starts nothing itself when the shell fails: a program of
// the same user can end the shell, or answer in its place, at will, and what
// we started would then run as administrator with that user's environment.
struct StartPlan {
  bool throughDesktopShell = false;  // the signed-in user's shell starts it
  bool directly = false;             // CreateProcess or the shell with our token
};
StartPlan PlanForUserProgram(TokenState token);

// `program` (a full path) with `arguments`, in `folder`, through
// CreateProcess, with `environment` (a block as CreateProcessA takes it) or
// the installer's own; false when it did not start.
bool StartProgramDirectly(const std::string& program, const std::string& arguments,
                          const std::string& folder, WORD show, DWORD* error = nullptr,
                          const std::string* environment = nullptr);
// An environment block of the system's own values only, for a program the
// elevated installer starts as administrator: the user's TEMP and PATH are
// the user's to change, and the program would write to and load from there.
// `windowsDir` ends in a backslash.
std::string SystemEnvironment(const std::string& windowsDir);
// Opens `file` (a program with `arguments` when `isProgram`, else a
// document) in `folder` as PlanForUserProgram says, the direct start being
// CreateProcess for a program and the shell for a document. False when
// nothing was started.
bool StartForUser(const std::string& file, const std::string& arguments, const std::string& folder,
                  bool isProgram);
// The desktop's shell (IShellWindows -> IShellDispatch2::ShellExecute) opens
// `file` as its own user; false when there is no such shell or it refused.
bool OpenThroughDesktopShell(const std::string& file, const std::string& arguments,
                             const std::string& folder);

}  // namespace ssi
