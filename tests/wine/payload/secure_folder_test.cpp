// The decisions of an elevated run that Wine cannot show (it keeps no access
// lists on its files, has no junctions and runs every program as the same
// administrator): whether the folder of the temporary copy is ours, what is
// done with what lies under its name, and who starts the programs the user
// goes on to work in; each as a table of inputs and literal outcomes.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "child_start.h"
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

bool Private(const std::string& sddl, PSID ownAccount) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                            &security, nullptr)) {
    ADD_FAILURE() << "not a descriptor: " << sddl;
    return false;
  }
  const bool result = IsPrivateSecurity(security, ownAccount);
  LocalFree(security);
  return result;
}

// Each descriptor against the installer's account trusted (its token is not
// elevated, or there is no elevation) and not (elevated: that account's
// unelevated programs are the attacker).
TEST(FolderSecurity, OnlyAdministratorsSystemAndAnUnelevatedOwnAccountMayChangeIt) {
  const std::string self = OwnAccountSid();
  ASSERT_FALSE(self.empty());
  PSID selfSid = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidA(self.c_str(), &selfSid));
  const std::string stranger = "S-1-5-21-1111-2222-3333-1001";
  struct Case {
    std::string sddl;
    bool unelevated, elevated;
  };
  const Case cases[] = {
      // What we make ourselves, and what stays ours.
      {"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", true, true},
      {"O:SYD:(A;;FA;;;BA)", true, true},
      {"O:BAD:(A;;FR;;;WD)(D;;FA;;;" + stranger + ")", true, true},
      {"O:BAD:", true, true},
      // The own account as owner, or with rights.
      {"O:" + self + "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + self + ")(A;OICI;0x1200a9;;;WD)", true,
       false},
      {"O:" + self + "D:P(A;OICI;FA;;;BA)", true, false},
      {"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;" + self + ")", true, false},
      // Owned by someone else, no access list or a null one, or any right
      // by which another account could add, write, delete or take over, on
      // the folder or inherited by what we make in it.
      {"O:" + stranger + "D:P(A;OICI;FA;;;BA)", false, false},
      {"O:BA", false, false},
      {"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", false, false},
      {"O:BAD:(A;OICIIO;FA;;;WD)", false, false},
      {"O:BAD:(A;;0x2;;;BU)", false, false},
      {"O:BAD:(A;;0x4;;;BU)", false, false},
      {"O:BAD:(A;;0x10;;;BU)", false, false},
      {"O:BAD:(A;;0x40;;;AU)", false, false},
      {"O:BAD:(A;;0x100;;;CO)", false, false},
      {"O:BAD:(A;;SD;;;WD)", false, false},
      {"O:BAD:(A;;WD;;;WD)", false, false},
      {"O:BAD:(A;;WO;;;WD)", false, false},
      {"O:BAD:(A;;GW;;;WD)", false, false},
      {"O:BAD:(A;;GA;;;" + stranger + ")", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Private(c.sddl, selfSid), c.unelevated) << c.sddl;
    EXPECT_EQ(Private(c.sddl, nullptr), c.elevated) << c.sddl;
  }
  LocalFree(selfSid);

  // A null access list, built by hand: Wine reads "D:NO_ACCESS_CONTROL" as
  // an empty one.
  BYTE admins[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sizeof admins;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
  SECURITY_DESCRIPTOR open{};
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&open, admins, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_FALSE(IsPrivateSecurity(&open, nullptr));
}

// What is found under the folder's name, including what Wine cannot make
// (junctions, directory symbolic links): only our own folder is kept, no
// link is ever followed, and a foreign folder is never taken over.
TEST(FolderSecurity, WhatIsFoundUnderTheFolderNameDecidesTheStep) {
  constexpr DWORD kDir = FILE_ATTRIBUTE_DIRECTORY;
  constexpr DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;
  struct Case {
    DWORD attributes;
    bool isPrivate;
    FoundAction action;
  };
  const Case cases[] = {
      {INVALID_FILE_ATTRIBUTES, false, FoundAction::kCreate},
      {FILE_ATTRIBUTE_NORMAL, false, FoundAction::kRemoveEntry},
      {FILE_ATTRIBUTE_ARCHIVE | kLink, false, FoundAction::kRemoveEntry},
      {kDir | kLink, false, FoundAction::kRemoveEntry},
      {kDir | kLink, true, FoundAction::kRemoveEntry},
      {kDir, true, FoundAction::kKeep},
      {kDir | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true, FoundAction::kKeep},
      {kDir, false, FoundAction::kRemoveOrRenameAside},
      {kDir | FILE_ATTRIBUTE_READONLY, false, FoundAction::kRemoveOrRenameAside},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ActionFor(c.attributes, c.isPrivate), c.action) << std::hex << c.attributes;
  const std::string pid = std::to_string(GetCurrentProcessId());
  EXPECT_EQ(AsideName("C:\\W\\TEMP\\VLF temp", 3),
            "C:\\W\\TEMP\\VLF temp (not ours " + pid + "-3)");
}

// Who starts a program the user goes on to work in (the read-me's viewer,
// Display Properties): the installer itself only where its token is the
// user's own; elevated, the desktop's shell or nobody, whether the shell is
// gone or something else answers in its place.
TEST(UserPrograms, RunAsTheSignedInUserOrNotAtAll) {
  EXPECT_EQ(TokenStateFrom(false, 0), TokenState::kNoElevation);
  EXPECT_EQ(TokenStateFrom(false, 1), TokenState::kNoElevation);
  EXPECT_EQ(TokenStateFrom(true, 0), TokenState::kNotElevated);
  EXPECT_EQ(TokenStateFrom(true, 1), TokenState::kElevated);
  struct Case {
    TokenState token;
    bool throughShell, directly;
  };
  const Case cases[] = {
      {TokenState::kNoElevation, false, true},
      {TokenState::kNotElevated, false, true},
      {TokenState::kElevated, true, false},
  };
  for (const Case& c : cases) {
    const StartPlan plan = PlanForUserProgram(c.token);
    EXPECT_EQ(plan.throughDesktopShell, c.throughShell) << static_cast<int>(c.token);
    EXPECT_EQ(plan.directly, c.directly) << static_cast<int>(c.token);
  }
}

}  // namespace
}  // namespace ssi::test
