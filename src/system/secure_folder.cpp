#include "secure_folder.h"

#include <aclapi.h>

#include "child_start.h"
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
constexpr int kAsideNamesTried = 100;

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

// `ownAccount` (null: none) counts only for an installer that is not
// elevated: under a split token, that account's unelevated programs could
// otherwise make the folder theirs and have it accepted.
bool IsTrusted(PSID sid, PSID ownAccount) {
  if (!sid || !IsValidSid(sid)) return false;
  return WellKnownSid(WinBuiltinAdministratorsSid).Is(sid) ||
         WellKnownSid(WinLocalSystemSid).Is(sid) || (ownAccount && EqualSid(sid, ownAccount));
}

// Allowed entries of a kind we cannot read count as giving rights away;
// denying entries only take rights away.
bool AceGivesRightsAway(const ACE_HEADER* header, PSID ownAccount) {
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
      return (ace->Mask & kChangingRights) != 0 &&
             !IsTrusted(const_cast<DWORD*>(&ace->SidStart), ownAccount);
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
FileHandle OpenFolderEntry(const std::string& path, DWORD access,
                           DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) {
  return FileHandle(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
}

bool IsRealDirectory(const FileHandle& folder) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(folder.get(), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A unique name beside `path` for a folder that is not ours: it keeps its
// contents and its access list, and is never opened or walked.
bool RenameAside(const std::string& path) {
  for (int n = 1; n <= kAsideNamesTried; ++n) {
    if (MoveFileExA(path.c_str(), AsideName(path, n).c_str(), 0)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

}  // namespace

bool IsPrivateSecurity(PSECURITY_DESCRIPTOR security, PSID ownAccount) {
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  if (!security || !GetSecurityDescriptorOwner(security, &owner, &ownerDefaulted) ||
      !IsTrusted(owner, ownAccount))
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
    if (!GetAce(dacl, i, &ace) ||
        AceGivesRightsAway(static_cast<const ACE_HEADER*>(ace), ownAccount))
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
  // The account this installer runs as, when it is not elevated: another
  // program of that account could change the installer file itself before
  // it runs, so it gains nothing from the folder.
  alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  PSID ownAccount = nullptr;
  HANDLE token = nullptr;
  if (CurrentTokenState() != TokenState::kElevated &&
      OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    const KernelHandle owned(token);
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, user, sizeof user, &size))
      ownAccount = reinterpret_cast<const TOKEN_USER*>(user)->User.Sid;
  }
  const bool result = IsPrivateSecurity(security, ownAccount);
  LocalFree(security);
  return result;
}

FoundAction ActionFor(DWORD attributes, bool isPrivate) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return FoundAction::kCreate;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return FoundAction::kRemoveEntry;
  return isPrivate ? FoundAction::kKeep : FoundAction::kRemoveOrRenameAside;
}

std::string AsideName(const std::string& path, int number) {
  return path + " (not ours " + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(number) + ")";
}

bool MakeFolderPrivate(const std::string& path, FileHandle& made) {
  if (made) return true;
  for (int round = 0; round < kRounds; ++round) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    switch (ActionFor(attributes, attributes != INVALID_FILE_ATTRIBUTES && FolderIsPrivate(path))) {
      case FoundAction::kKeep:
        return true;
      case FoundAction::kCreate: {
        // One that appears meanwhile is looked at in the next round.
        PrivateSecurity security;
        if (!security.ok()) continue;
        bool created = CreateDirectoryA(path.c_str(), security.attributes()) != FALSE;
        if (!created && GetLastError() == ERROR_INVALID_OWNER) {
          security.DropOwner();
          created = CreateDirectoryA(path.c_str(), security.attributes()) != FALSE;
        }
        if (!created) continue;
        // Made by us just now, with our access list from its first moment:
        // held so that it cannot be renamed or removed while we run.
        made = OpenFolderEntry(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (made && IsRealDirectory(made)) return true;
        made.reset();
        continue;
      }
      case FoundAction::kRemoveEntry:
        // A file, or a link to somewhere else: only the entry itself goes.
        if (!(folder ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str()))) return false;
        continue;
      case FoundAction::kRemoveOrRenameAside:
        // Never taken over: handles opened before a new access list keep
        // their rights, and re-applying inheritance would walk whatever
        // links the owner put inside. An empty one is made anew.
        if (!RemoveDirectoryA(path.c_str()) && !RenameAside(path)) return false;
        continue;
    }
  }
  return FolderIsPrivate(path);
}

}  // namespace ssi
