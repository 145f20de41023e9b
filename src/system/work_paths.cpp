#include "work_paths.h"

#include <windows.h>

#include <vector>

#include "error_box.h"
#include "file_replace.h"
#include "messages.h"
#include "path_rules.h"

namespace ssi {
namespace {

// The system reports the Windows directory into a buffer of this size.
constexpr UINT kWindowsDirBufferSize = 301;

std::string ReportedWindowsDir() {
  char buffer[kWindowsDirBufferSize] = {};
  const UINT n = GetWindowsDirectoryA(buffer, kWindowsDirBufferSize);
  return n < kWindowsDirBufferSize ? std::string(buffer, n) : std::string(buffer);
}

std::string RunningProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  while (true) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

void CreateFolderIfMissing(const std::string& path) {
  // A failure shows itself at the first write into the folder.
  if (!FolderExists(path)) CreateDirectoryA(path.c_str(), nullptr);
}

}  // namespace

void SetTempLocations(WorkPaths& paths, const std::string& reportedWindowsDir) {
  paths.windowsDir = WithTrailingBackslash(reportedWindowsDir);
  paths.windowsTempDir = paths.windowsDir + "TEMP\\";
  paths.tempCopyDir = paths.windowsTempDir + "VLF temp";
  paths.tempCopyPath = TempCopyPathFor(paths.tempCopyDir, 1);
}

std::string TempCopyPathFor(const std::string& tempCopyDir, int number) {
  return tempCopyDir + "\\temp" + std::to_string(number) + ".dat";
}

std::string SaverDirFor(const std::string& windowsDir, const std::string& saverName) {
  return windowsDir + (saverName.empty() ? std::string("TempSaverDir") : saverName) + " dir\\";
}

void ResolveWorkPaths(Installer& in) {
  WorkPaths& p = in.paths;
  SetTempLocations(p, ReportedWindowsDir());
  p.installerPath = RunningProgramPath();
  CreateFolderIfMissing(p.windowsTempDir);
  CreateFolderIfMissing(p.tempCopyDir);
  // A copy left by an earlier run, or held by another running installer, is
  // never reused.
  for (int n = 2; FileExists(p.tempCopyPath); ++n)
    p.tempCopyPath = TempCopyPathFor(p.tempCopyDir, n);
}

ResultCode CopySelfToTemp(Installer& in) {
  const WorkPaths& p = in.paths;
  ResultCode result = DeleteFileRetrying(in, p.tempCopyPath);
  if (result != rc::kOk) return result;
  if (!CopyFileA(p.installerPath.c_str(), p.tempCopyPath.c_str(), FALSE)) {
    const DWORD error = GetLastError();
    result = error == 0 ? rc::kUnspecified : static_cast<ResultCode>(error);
    ShowErrorWithSystemText(in.ui, result,
                            msg::CopySelfFailedText(p.installerPath, p.tempCopyPath));
  }
  return result;
}

void PrepareSaverDir(Installer& in) {
  WorkPaths& p = in.paths;
  // The header reader refuses a name that is no folder name and leaves the
  // header empty; a name that slipped past it must not leave WindowsDir
  // either, so it gets the default folder.
  p.saverName = in.header.SaverName();
  if (!IsValidSaverName(p.saverName)) p.saverName.clear();
  p.saverDir = SaverDirFor(p.windowsDir, p.saverName);
  CreateFolderIfMissing(p.saverDir);
  p.saverIniPath = p.saverDir + "saver.ini";
  in.saverIni.emplace(p.saverIniPath);
  // Later manifest writes report their own failures; this first one is
  // reported here and the set-up goes on.
  const ResultCode result = RecordInManifest(*in.saverIni, in.fileCounter, p.saverIniPath);
  if (result != rc::kOk) ShowInstallError(in.ui, result, p.saverIniPath);
  // The data file's path is used for reading and for deleting, so a name
  // with folder parts must not reach it.
  const std::string& dataName = in.header.entries[entry::kDataFile].name;
  p.dataFilePath = p.saverDir + (IsPlainFileName(dataName) ? dataName : std::string());
}

}  // namespace ssi
