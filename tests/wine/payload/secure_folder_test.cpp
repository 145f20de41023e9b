// The rule that decides whether the folder of the temporary copy is ours,
// against access lists written out by hand. Wine keeps no access lists on
// its files, so the rule is checked here on descriptors rather than folders.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "secure_folder.h"
#include "win_handles.h"

namespace ssi::test {
namespace {

std::string OwnAccountSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const KernelHandle owned(token);
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD size = 0;
  char* text = nullptr;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ||
      !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
    return {};
  const std::string sid = text;
  LocalFree(text);
  return sid;
}

bool Private(const std::string& sddl) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                            &security, nullptr)) {
    ADD_FAILURE() << "not a descriptor: " << sddl;
    return false;
  }
  const bool result = IsPrivateSecurity(security);
  LocalFree(security);
  return result;
}

TEST(FolderSecurity, OnlyAdministratorsSystemAndOurOwnAccountMayChangeIt) {
  const std::string self = OwnAccountSid();
  ASSERT_FALSE(self.empty());
  const std::string stranger = "S-1-5-21-1111-2222-3333-1001";
  // What we make ourselves, and what stays ours.
  for (const std::string& sddl :
       {std::string("O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"), std::string("O:SYD:(A;;FA;;;BA)"),
        "O:" + self + "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + self + ")(A;OICI;0x1200a9;;;WD)",
        "O:BAD:(A;;FR;;;WD)(D;;FA;;;" + stranger + ")", std::string("O:BAD:")})
    EXPECT_TRUE(Private(sddl)) << sddl;
  // Owned by someone else, no access list or a null one, or any right by
  // which another account could add, write, delete or take over, on the
  // folder or inherited by what we make in it.
  for (const std::string& sddl : {
           "O:" + stranger + "D:P(A;OICI;FA;;;BA)",
           std::string("O:BA"),
           std::string("O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)"),
           std::string("O:BAD:(A;OICIIO;FA;;;WD)"),
           std::string("O:BAD:(A;;0x2;;;BU)"),
           std::string("O:BAD:(A;;0x4;;;BU)"),
           std::string("O:BAD:(A;;0x10;;;BU)"),
           std::string("O:BAD:(A;;0x40;;;AU)"),
           std::string("O:BAD:(A;;0x100;;;CO)"),
           std::string("O:BAD:(A;;SD;;;WD)"),
           std::string("O:BAD:(A;;WD;;;WD)"),
           std::string("O:BAD:(A;;WO;;;WD)"),
           std::string("O:BAD:(A;;GW;;;WD)"),
           std::string("O:BAD:(A;;GA;;;" + stranger + ")"),
       })
    EXPECT_FALSE(Private(sddl)) << sddl;

  // A null access list, built by hand: Wine reads "D:NO_ACCESS_CONTROL" as
  // an empty one.
  BYTE admins[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sizeof admins;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
  SECURITY_DESCRIPTOR open{};
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&open, admins, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_FALSE(IsPrivateSecurity(&open));
}

}  // namespace
}  // namespace ssi::test
