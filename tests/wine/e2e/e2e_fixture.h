#pragma once
// What every end-to-end test starts from: the stub and the compression
// library that the build made, and a Windows directory without the traces of
// an earlier test in the same prefix.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "file_checks.h"
#include "installer_session.h"
#include "test_installer.h"

namespace ssi::e2e {

// The installer's exit codes, as the README gives them.
constexpr DWORD kExitInstalled = 0;
constexpr DWORD kExitNotInstalled = 1;  // declined, closed, or nothing to install
constexpr DWORD kExitFailed = 2;        // the set-up or the install failed

class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Launches `image` and waits for its window; null (and a test failure)
  // when the window does not come.
  HWND LaunchAndWaitForForm(InstallerSession& session, const std::string& image,
                            const std::string& argument = {});

  // Closes the window as the user would and waits for the process to end.
  void CloseAndWait(InstallerSession& session, HWND form, driver::CloseHow how);

  std::string Meadow(bool withLicence, bool withReadMe) const {
    return Compose(stub_, MeadowPayload(library_, withLicence, withReadMe)).image;
  }

  // The Windows folder's names and the screen saver folder's, which an
  // earlier test may have left there empty.
  std::set<std::string> WindowsFolder() const {
    std::set<std::string> names = FolderEntries(meadow_.windowsDir);
    for (const std::string& name : FolderEntries(meadow_.saverDir)) names.insert("dir\\" + name);
    return names;
  }

  std::string stub_;
  std::string library_;  // impborl.dll as built, or stand-in bytes without one
  InstallerPlaces meadow_ = PlacesFor("meadow");
};

}  // namespace ssi::e2e
