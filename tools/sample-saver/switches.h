#pragma once
// The command line as Windows passes it to a screen saver: "/s" or "-S"
// runs it, "/p HWND" previews it inside a window, "/c" or "/c:HWND"
// configures it (owned by that window), "/a" would change a password, and no
// argument at all (a double click on the file) configures it too. Ours adds
// "/u" (uninstall; "/u /q" without asking and without boxes, "/u /y" when the
// question was answered already). An instance that restarts itself with
// administrator rights adds "/e" for the new one. Letters are case-insensitive.
#include <windows.h>

#include <string>

namespace saver {

enum class Mode { kConfigure, kRun, kPreview, kPassword, kUninstall, kUnknown };

struct Switches {
  Mode mode = Mode::kConfigure;
  HWND window = nullptr;      // /p and /c:HWND
  bool quiet = false;         // /u /q
  bool confirmed = false;     // /u /y: asked already (before restarting elevated)
  bool elevatedByUs = false;  // /u /e: started by the user's own instance
};

// `arguments`: the command line without the program's name.
Switches ParseSwitches(const char* arguments);

// The arguments in a whole command line (GetCommandLine). The uninstall
// entry quotes the program's path, but older installs wrote it without
// quotes, so a path with blanks has to be recognised as one of
// `programPaths` (its long and short forms); the C runtime would take
// "Meadow.scr" of "C:\WINDOWS\Sunny Meadow.scr /u" for the first argument.
const char* ArgumentsOf(const char* commandLine, const std::string& programPath);

}  // namespace saver
