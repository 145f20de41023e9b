#pragma once
// Where the installed screen saver lives: the installer wrote it as
// <WindowsDir><SaverName>.scr and its files into <WindowsDir><SaverName> dir\.
// SaverName comes from the program's own long file name, because system.ini
// may name it by its short 8.3 name.
#include <string>

namespace saver {

struct SaverPaths {
  std::string programPath;   // the running program, long form
  std::string saverName;     // its file name without extension
  std::string windowsDir;    // ends in "\"
  std::string saverDir;      // windowsDir + saverName + " dir\"
  std::string installedScr;  // windowsDir + saverName + ".scr"
};

SaverPaths FindSaverPaths();

// The display name: "<SaverName> Screen Saver".
std::string DisplayName(const SaverPaths& paths);

}  // namespace saver
