#include "program_removal.h"

#include <aclapi.h>

#include "delete_by_handle.h"
#include "secure_folder.h"

namespace saver {
namespace {

constexpr int kMaxNames = 1000;

// The folder as a handle that cannot be swapped afterwards, checked through
// that very handle: a real folder whose owner and access list let no other
// account add, change or remove anything in it.
ssi::FileHandle OpenPrivateFolder(const std::string& path) {
  // A folder made just now is ours whatever owner the file system reports
  // (Wine reports every one alike); `made` keeps it from being swapped until
  // our own handle below holds it.
  ssi::FileHandle made;
  ssi::MakeFolderPrivate(path, made);
  ssi::FileHandle folder(CreateFileW(
      Widen(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_TRAVERSE | FILE_ADD_FILE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!folder || !GetFileInformationByHandle(folder.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return ssi::FileHandle();
  if (made) return folder;
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, nullptr, &security) != ERROR_SUCCESS)
    return ssi::FileHandle();
  // The uninstaller that moves a program here is elevated: its own account
  // is the user's too, and earns no trust.
  const bool isPrivate = ssi::IsPrivateSecurity(security, nullptr);
  LocalFree(security);
  return isPrivate ? std::move(folder) : ssi::FileHandle();
}

DWORD MoveAside(HANDLE program, const std::string& privateFolder, std::string* refusedFolder) {
  const ssi::FileHandle folder = OpenPrivateFolder(privateFolder);
  if (!folder) {
    if (refusedFolder) *refusedFolder = privateFolder;
    return ERROR_ACCESS_DENIED;
  }
  for (int n = 1; n <= kMaxNames; ++n) {
    const std::string name = "removed" + std::to_string(n) + ".dat";
    const DWORD error = RenameInto(program, folder.get(), Widen(name));
    if (error == ERROR_ALREADY_EXISTS) continue;
    if (error != ERROR_SUCCESS) return error;
    // Nobody but administrators can put anything under this name until the
    // next start. Should the system refuse to note it, only bytes that no
    // one runs stay in a folder of administrators': the uninstall goes on.
    MoveFileExW(Widen(privateFolder + "\\" + name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return ERROR_SUCCESS;
  }
  return ERROR_ALREADY_EXISTS;
}

}  // namespace

ProgramHold HoldProgram(const std::string& path) {
  ProgramHold hold;
  // Shared for reading and deleting only: a running program's image allows
  // exactly that, and so do the two uninstall instances running from it.
  ssi::FileHandle file(CreateFileW(Widen(path).c_str(),
                                   DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      hold.busyPath = path;
      hold.error = error;
    }
    return hold;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file.get(), &info) &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    hold.handle = std::move(file);
  return hold;
}

DWORD RemoveHeldProgram(ProgramHold& hold, const std::string& privateFolder,
                        std::string* refusedFolder) {
  if (!hold.handle) return ERROR_SUCCESS;
  DWORD error = ClearReadOnly(hold.handle.get());
  // A program that runs (this one, mostly) refuses to be deleted.
  if (error == ERROR_SUCCESS && MarkForDeletion(hold.handle.get()) != ERROR_SUCCESS)
    error = MoveAside(hold.handle.get(), privateFolder, refusedFolder);
  hold.handle.reset();
  return error;
}

}  // namespace saver
