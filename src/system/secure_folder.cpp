#include "secure_folder.h"

#include <aclapi.h>

#include "win_handles.h"

namespace ssi {
namespace {

// Every right by which an account could put, change or remove something in
// the folder, or give itself such a right.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                  FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// Bounded: a folder that keeps changing under us is not made private.
constexpr int kRounds = 4;

class WellKnownSid {
 public:
  explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = sizeof bytes_;
    ok_ = CreateWellKnownSid(type, nullptr, bytes_, &size) != FALSE;
  }
  PSID get() { return ok_ ? static_cast<PSID>(bytes_) : nullptr; }
  bool Is(PSID sid) { return ok_ && sid && IsValidSid(sid) && EqualSid(sid, bytes_); }

 private:
  BYTE bytes_[SECURITY_MAX_SID_SIZE] = {};
  bool ok_ = false;
};

// The account this installer runs as. Another program of that account
// could change the installer file itself before it runs, so it gains
// nothing from the folder; and where the file system keeps no access lists
// of its own (Wine), every folder belongs to it.
bool IsOwnAccount(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const KernelHandle owned(token);
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return false;
  const PSID user = reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid;
  return user && IsValidSid(user) && EqualSid(sid, user);
}

bool IsTrusted(PSID sid) {
  if (!sid || !IsValidSid(sid)) return false;
  return WellKnownSid(WinBuiltinAdministratorsSid).Is(sid) ||
         WellKnownSid(WinLocalSystemSid).Is(sid) || IsOwnAccount(sid);
}

// Allowed entries of a kind we cannot read count as giving rights away;
// denying entries only take rights away.
bool AceGivesRightsAway(const ACE_HEADER* header) {
  switch (header->AceType) {
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
      return false;
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
      // Both kinds begin with the mask and the trustee's SID.
      const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
      return (ace->Mask & kChangingRights) != 0 && !IsTrusted(const_cast<DWORD*>(&ace->SidStart));
    }
    default:
      return true;
  }
}

// The protected access list of a private folder, inherited by what is made
// in it.
class PrivateSecurity {
 public:
  PrivateSecurity() {
    PSID admins = admins_.get();
    PSID system = system_.get();
    constexpr DWORD kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ok_ = admins && system && InitializeAcl(acl(), sizeof aclBytes_, ACL_REVISION) &&
          AddAccessAllowedAceEx(acl(), ACL_REVISION, kInherit, FILE_ALL_ACCESS, admins) &&
          AddAccessAllowedAceEx(acl(), ACL_REVISION, kInherit, FILE_ALL_ACCESS, system) &&
          InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
          SetSecurityDescriptorOwner(&descriptor_, admins, FALSE) &&
          SetSecurityDescriptorDacl(&descriptor_, TRUE, acl(), FALSE) &&
          SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;
  bool ok() const { return ok_; }
  PACL acl() { return reinterpret_cast<PACL>(aclBytes_); }
  PSID admins() { return admins_.get(); }
  // A token that may not name Administrators as owner (no elevation) makes
  // the folder its own.
  void DropOwner() { SetSecurityDescriptorOwner(&descriptor_, nullptr, FALSE); }
  SECURITY_ATTRIBUTES* attributes() {
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    return &attributes_;
  }

 private:
  WellKnownSid admins_{WinBuiltinAdministratorsSid};
  WellKnownSid system_{WinLocalSystemSid};
  alignas(DWORD) BYTE aclBytes_[512] = {};
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool ok_ = false;
};

// The folder entry itself, a link included, never what a link points at.
FileHandle OpenFolderEntry(const std::string& path, DWORD access) {
  return FileHandle(CreateFileA(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool IsRealDirectory(const FileHandle& folder) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(folder.get(), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Switches one of the token's privileges on for as long as it lives, and
// back to what it was after.
class EnabledPrivilege {
 public:
  explicit EnabledPrivilege(const char* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
      return;
    token_.reset(token);
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid)) return;
    DWORD size = sizeof previous_;
    adjusted_ =
        AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof previous_, &previous_, &size);
  }
  ~EnabledPrivilege() {
    if (adjusted_) AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
  }
  EnabledPrivilege(const EnabledPrivilege&) = delete;
  EnabledPrivilege& operator=(const EnabledPrivilege&) = delete;

 private:
  KernelHandle token_;
  TOKEN_PRIVILEGES previous_{};
  BOOL adjusted_ = FALSE;
};

// Owner and access list through one handle on the folder entry itself. The
// backup and restore privileges grant an administrator that handle whatever
// the folder's list says, and take-ownership lets it name a new owner.
void TakeOver(const std::string& path) {
  PrivateSecurity security;
  if (!security.ok()) return;
  EnabledPrivilege backup(SE_BACKUP_NAME);
  EnabledPrivilege restore(SE_RESTORE_NAME);
  EnabledPrivilege takeOwnership(SE_TAKE_OWNERSHIP_NAME);
  const FileHandle folder =
      OpenFolderEntry(path, WRITE_OWNER | WRITE_DAC | READ_CONTROL | FILE_READ_ATTRIBUTES);
  if (!folder || !IsRealDirectory(folder)) return;
  SetSecurityInfo(folder.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, security.admins(),
                  nullptr, nullptr, nullptr);
  SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                  security.acl(), nullptr);
}

}  // namespace

bool IsPrivateSecurity(PSECURITY_DESCRIPTOR security) {
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  if (!security || !GetSecurityDescriptorOwner(security, &owner, &ownerDefaulted) ||
      !IsTrusted(owner))
    return false;
  BOOL present = FALSE;
  BOOL daclDefaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(security, &present, &dacl, &daclDefaulted) || !present || !dacl)
    return false;
  ACL_SIZE_INFORMATION size{};
  if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace) || AceGivesRightsAway(static_cast<const ACE_HEADER*>(ace)))
      return false;
  }
  return true;
}

bool FolderIsPrivate(const std::string& path) {
  const FileHandle folder = OpenFolderEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
  if (!folder || !IsRealDirectory(folder)) return false;
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, nullptr, &security) != ERROR_SUCCESS)
    return false;
  const bool result = IsPrivateSecurity(security);
  LocalFree(security);
  return result;
}

bool MakeFolderPrivate(const std::string& path) {
  for (int round = 0; round < kRounds; ++round) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      // One that appears meanwhile is looked at in the next round.
      PrivateSecurity security;
      if (!security.ok() || CreateDirectoryA(path.c_str(), security.attributes()) ||
          GetLastError() != ERROR_INVALID_OWNER)
        continue;
      security.DropOwner();
      CreateDirectoryA(path.c_str(), security.attributes());
      continue;
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!folder || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // A file, or a link to somewhere else: only the entry itself goes.
      const BOOL removed = folder ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
      if (!removed) return false;
      continue;
    }
    if (FolderIsPrivate(path)) return true;
    // An empty folder is made anew, which also leaves behind any handle
    // someone opened on it; one with contents is taken over.
    if (!RemoveDirectoryA(path.c_str())) TakeOver(path);
  }
  return FolderIsPrivate(path);
}

}  // namespace ssi
