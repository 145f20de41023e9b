#include "work_paths.h"

#include <windows.h>

#include <vector>

#include "error_box.h"
#include "file_replace.h"
#include "messages.h"
#include "path_rules.h"
#include "secure_folder.h"
#include "system_function.h"
#include "system_text.h"
#include "win_error.h"

namespace ssi {
namespace {

// The system reports the Windows directory into a buffer of this size.
constexpr UINT kWindowsDirBufferSize = 301;
// Names taken meanwhile are skipped when the copy is made, but not without end.
constexpr int kCopyNumbersTried = 10000;
constexpr DWORD kCopyBlockSize = 32 * 1024;

// From the program's entry until the set-up takes it. `refused` when what
// stands at the program's path is not the file the system started.
struct OwnImage {
  FileHandle file;
  bool refused = false;
};
OwnImage& OwnImageAtStart() {
  static OwnImage image;
  return image;
}

std::string RunningProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  while (true) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

enum class Links { kFollow, kOpenAsThemselves };

// Others may read the file, but neither write, delete nor rename it while
// the handle is open.
FileHandle OpenSharedForReadingOnly(const std::string& path, Links links) {
  const DWORD flags =
      links == Links::kFollow ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_OPEN_REPARSE_POINT;
  return FileHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                flags, nullptr));
}

// True when this call made the folder.
bool CreateFolderIfMissing(const std::string& path) {
  // A failure shows itself at the first write into the folder.
  return !FolderExists(path) && CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

// A drive root or a share: anything else would place the work paths
// relative to the current folder.
bool IsRooted(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
}

// The whole image, from its first byte.
ResultCode CopyImage(HANDLE image, HANDLE copy) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(image, start, nullptr, FILE_BEGIN)) return LastErrorResult();
  char block[kCopyBlockSize];
  while (true) {
    DWORD got = 0;
    if (!ReadFile(image, block, kCopyBlockSize, &got, nullptr)) return LastErrorResult();
    if (got == 0) return rc::kOk;
    DWORD put = 0;
    if (!WriteFile(copy, block, got, &put, nullptr)) return LastErrorResult();
    if (put != got) return rc::kShortWrite;
  }
}

// A new file under the smallest number whose name nothing holds, so that a
// file that appeared since the look-up is never written into. tempCopyPath
// follows the number tried.
FileHandle CreateNewCopy(WorkPaths& p, ResultCode& error) {
  for (int n = 1; n <= kCopyNumbersTried; ++n) {
    p.tempCopyPath = TempCopyPathFor(p.tempCopyDir, n);
    FileHandle copy(CreateFileA(p.tempCopyPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (copy) return copy;
    const DWORD lastError = GetLastError();
    const bool taken = lastError == ERROR_FILE_EXISTS || lastError == ERROR_ALREADY_EXISTS ||
                       GetFileAttributesA(p.tempCopyPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!taken) {
      error = ResultFromError(lastError);
      return FileHandle();
    }
  }
  error = ERROR_FILE_EXISTS;
  return FileHandle();
}

// Marks the file of `file` for deletion when its last handle closes: the
// name it was opened by, whatever now stands at that path.
bool DeleteThroughHandle(HANDLE file) {
  struct IoStatus {
    void* status;
    ULONG_PTR information;
  };
  using SetFn = LONG(NTAPI*)(HANDLE, IoStatus*, PVOID, ULONG, int);
  constexpr int kFileDispositionInformation = 13;
  const auto set = SystemFunction<SetFn>("ntdll.dll", "NtSetInformationFile");
  IoStatus io{};
  BOOLEAN deleteFile = TRUE;
  return set && set(file, &io, &deleteFile, sizeof deleteFile, kFileDispositionInformation) == 0;
}

// The copy is written, held and in the end deleted through the handle that
// made it: nobody else can write it in between, and a link put under its
// name later cannot redirect the deletion.
ResultCode MakeHeldCopy(Installer& in) {
  ResultCode result = rc::kOk;
  FileHandle copy = CreateNewCopy(in.paths, result);
  if (!copy) return result;
  result = CopyImage(in.installerImage.get(), copy.get());
  if (result != rc::kOk) {
    DeleteThroughHandle(copy.get());  // ours, half written
    return result;
  }
  in.tempCopyGuard = std::move(copy);
  return rc::kOk;
}

// True when `file` is the very file the system mapped as this program's
// image, whatever has been renamed since.
bool IsLoadedImage(HANDLE file) {
  using SameFn = LONG(NTAPI*)(PVOID, PVOID);
  const auto same = SystemFunction<SameFn>("ntdll.dll", "NtAreMappedFilesTheSame");
  if (!same) return false;
  const KernelHandle mapping(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return false;
  void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 1);
  if (!view) return false;
  const bool result = same(GetModuleHandleA(nullptr), view) == 0;
  UnmapViewOfFile(view);
  return result;
}

}  // namespace

void HoldOwnImage() {
  OwnImage& own = OwnImageAtStart();
  if (own.file || own.refused) return;
  FileHandle file = OpenSharedForReadingOnly(RunningProgramPath(), Links::kFollow);
  if (file && IsLoadedImage(file.get()))
    own.file = std::move(file);
  else
    own.refused = true;
}

std::string SystemWindowsDir() {
  char buffer[kWindowsDirBufferSize] = {};
  const UINT n = GetWindowsDirectoryA(buffer, kWindowsDirBufferSize);
  if (n == 0 || n >= kWindowsDirBufferSize) return std::string();
  const std::string dir(buffer, n);
  return IsRooted(dir) ? dir : std::string();
}

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

ResultCode ResolveWorkPaths(Installer& in) {
  const std::string windowsDir = SystemWindowsDir();
  if (windowsDir.empty()) {
    in.ui.ShowErrorBox(msg::kNoWindowsDirectory);
    return rc::kUnspecified;
  }
  WorkPaths& p = in.paths;
  SetTempLocations(p, windowsDir);
  p.installerPath = RunningProgramPath();
  // Another file put under the installer's name once it ran is not the one
  // the user agreed to run (nor the one elevation was asked for).
  if (OwnImageAtStart().refused) {
    ShowInstallError(in.ui, rc::kHeaderShort, p.installerPath);
    return rc::kHeaderShort;
  }
  if (!in.installerImage) in.installerImage = std::move(OwnImageAtStart().file);
  CreateFolderIfMissing(p.windowsTempDir);
  // A folder that cannot be made private shows when the copy is made.
  MakeFolderPrivate(p.tempCopyDir, in.tempFolderGuard);
  // A copy left by an earlier run, or held by another running installer, is
  // never reused.
  for (int n = 2; FileExists(p.tempCopyPath); ++n)
    p.tempCopyPath = TempCopyPathFor(p.tempCopyDir, n);
  return rc::kOk;
}

ResultCode CopySelfToTemp(Installer& in) {
  WorkPaths& p = in.paths;
  in.tempCopyGuard.reset();
  ResultCode result = rc::kOk;
  bool foreignFolder = false;
  // Tests copy an installer file of their own; the program has held its own
  // image since its start.
  if (!in.installerImage)
    in.installerImage = OpenSharedForReadingOnly(p.installerPath, Links::kFollow);
  if (!in.installerImage) {
    result = LastErrorResult();
  } else if (!in.tempFolderGuard && !FolderIsPrivate(p.tempCopyDir)) {
    // Someone else could change the copy between its making and its use.
    foreignFolder = FolderExists(p.tempCopyDir);
    result = foreignFolder ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
  } else {
    result = MakeHeldCopy(in);
  }
  if (result == rc::kOk) return result;
  std::string text = msg::WithSystemText(msg::CopySelfFailedText(p.installerPath, p.tempCopyPath),
                                         SystemErrorText(result));
  if (foreignFolder) text = msg::WithSystemText(text, msg::ForeignWorkFolderText(p.tempCopyDir));
  in.ui.ShowErrorBox(text);
  return result;
}

void DeleteTempCopy(Installer& in) {
  if (!in.tempCopyGuard) return;  // nothing of ours was made
  DeleteThroughHandle(in.tempCopyGuard.get());
  in.tempCopyGuard.reset();
}

void RemoveNewFiles(Installer& in) {
  // Latest first, the folder last: it goes only when this run made it and
  // nothing else has come into it.
  std::string& files = in.newFiles;
  while (!files.empty()) {
    files.pop_back();  // the last path's line break
    const size_t start = files.rfind('\n') + 1;  // npos + 1 is 0: the first path
    DeleteFileOnce(files.substr(start));
    files.resize(start);
  }
  if (in.newSaverDir) RemoveDirectoryA(in.paths.saverDir.c_str());
  in.newSaverDir = false;
}

void PrepareSaverDir(Installer& in) {
  WorkPaths& p = in.paths;
  // The header reader refuses a name that is no folder name and leaves the
  // header empty; a name that slipped past it must not leave WindowsDir
  // either, so it gets the default folder.
  p.saverName = in.header.SaverName();
  if (!IsValidSaverName(p.saverName)) p.saverName.clear();
  p.saverDir = SaverDirFor(p.windowsDir, p.saverName);
  in.newSaverDir = CreateFolderIfMissing(p.saverDir);
  p.saverIniPath = p.saverDir + "saver.ini";
  in.saverIni.emplace(p.saverIniPath);
  const bool iniNew = !FileExists(p.saverIniPath);
  // Later manifest writes report their own failures; this first one is
  // reported here and the set-up goes on.
  const ResultCode result = RecordInManifest(*in.saverIni, in.fileCounter, p.saverIniPath);
  if (result != rc::kOk) ShowInstallError(in.ui, result, p.saverIniPath);
  if (iniNew && FileExists(p.saverIniPath)) in.newFiles += p.saverIniPath + '\n';
  // The data file's path is used for reading and for deleting, so a name
  // with folder parts must not reach it.
  const std::string& dataName = in.header.entries[entry::kDataFile].name;
  p.dataFilePath = p.saverDir + (IsPlainFileName(dataName) ? dataName : std::string());
}

}  // namespace ssi
