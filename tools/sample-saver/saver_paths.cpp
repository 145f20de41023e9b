#include "saver_paths.h"

#include <windows.h>

#include "path_rules.h"

namespace saver {

SaverPaths FindSaverPaths() {
  SaverPaths p;
  char path[MAX_PATH] = {};
  const DWORD got = GetModuleFileNameA(nullptr, path, MAX_PATH);
  p.programPath = got > 0 && got < MAX_PATH ? std::string(path, got) : std::string();
  char longPath[MAX_PATH] = {};
  const DWORD widened = GetLongPathNameA(p.programPath.c_str(), longPath, MAX_PATH);
  if (widened > 0 && widened < MAX_PATH) p.programPath.assign(longPath, widened);
  const std::string file = ssi::FileNamePart(p.programPath);
  const std::string ext = ssi::PathExtension(file);
  p.saverName = file.substr(0, file.size() - ext.size());
  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
  if (length > 0 && length < MAX_PATH) p.windowsDir = ssi::WithTrailingBackslash(windows);
  if (!p.windowsDir.empty() && ssi::IsValidSaverName(p.saverName) && !p.saverName.empty()) {
    p.saverDir = p.windowsDir + p.saverName + " dir\\";
    p.installedScr = p.windowsDir + p.saverName + ".scr";
  }
  return p;
}

std::string DisplayName(const SaverPaths& paths) {
  return (paths.saverName.empty() ? std::string("Sample") : paths.saverName) + " Screen Saver";
}

}  // namespace saver
