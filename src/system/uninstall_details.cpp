#include "uninstall_details.h"

#include "show_layout.h"
#include "win_handles.h"

namespace ssi {
namespace {

constexpr int kMaxFolderDepth = 8;

long SetString(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

long SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value);
}

uint64_t FileBytes(const WIN32_FIND_DATAA& data) {
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Links are not followed: what they point to is not the screen saver's.
uint64_t FolderBytes(const std::string& folder, int depth) {
  uint64_t total = 0;
  WIN32_FIND_DATAA data{};
  FindHandle search(FindFirstFileA((folder + "*").c_str(), &data));
  if (!search) return 0;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == ".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      total += FileBytes(data);
    } else if (depth < kMaxFolderDepth) {
      total += FolderBytes(folder + name + "\\", depth + 1);
    }
  } while (FindNextFileA(search.get(), &data));
  return total;
}

}  // namespace

uint64_t SingleFileBytes(const std::string& path) {
  WIN32_FIND_DATAA data{};
  if (path.find_first_of("*?") != std::string::npos) return 0;
  FindHandle search(FindFirstFileA(path.c_str(), &data));
  if (!search || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
  return FileBytes(data);
}

uint32_t InstalledSizeKb(const Installer& in) {
  const WorkPaths& p = in.paths;
  uint64_t total = p.saverDir.empty() ? 0 : FolderBytes(p.saverDir, 0);
  for (const std::string& passing : {p.dataFilePath, p.saverIniPath}) {
    if (passing.compare(0, p.saverDir.size(), p.saverDir) == 0) {
      const uint64_t bytes = SingleFileBytes(passing);
      total -= bytes < total ? bytes : total;
    }
  }
  total += SingleFileBytes(p.windowsDir + p.saverName + ".scr");
  const uint64_t kb = (total + 1023) / 1024;
  return kb > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kb);
}

long WriteUninstallDetails(HKEY key, const Installer& in) {
  const std::string program = in.paths.windowsDir + in.paths.saverName + ".scr";
  ShowLayout layout;
  ReadShowLayout(in.settings, layout);  // no layout: no publisher, no version
  // Quoted: with a blank in the path the system would try
  // "C:\WINDOWS\Sunny.exe" of "C:\WINDOWS\Sunny Meadow.scr" first.
  const std::string quoted = "\"" + program + "\"";
  long status = SetString(key, "UninstallString", quoted + " /u");
  if (status == ERROR_SUCCESS) status = SetString(key, "QuietUninstallString", quoted + " /u /q");
  if (status == ERROR_SUCCESS) status = SetString(key, "DisplayIcon", program);
  if (status == ERROR_SUCCESS && !layout.publisher.empty())
    status = SetString(key, "Publisher", layout.publisher);
  if (status == ERROR_SUCCESS && !layout.displayVersion.empty())
    status = SetString(key, "DisplayVersion", layout.displayVersion);
  if (status == ERROR_SUCCESS) status = SetDword(key, "EstimatedSize", InstalledSizeKb(in));
  if (status == ERROR_SUCCESS) status = SetDword(key, "NoModify", 1);
  if (status == ERROR_SUCCESS) status = SetDword(key, "NoRepair", 1);
  return status;
}

}  // namespace ssi
