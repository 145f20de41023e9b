#include "e2e_fixture.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "artifacts.h"

namespace ssi::e2e {

void E2eTest::SetUp() {
  stub_ = test::ReadWholeFile(test::ArtifactPath("SSI_STUB"));
  ASSERT_FALSE(stub_.empty()) << "the stub could not be read";
  // The set-up only writes the library; nothing here loads it, so stand-in
  // bytes do when the build has no impborl.dll.
  const char* library = std::getenv("SSI_IMPBORL");
  if (library && *library) library_ = test::ReadWholeFile(test::UnixToWinePath(library));
  if (library_.empty()) library_ = "stand-in for impborl.dll";

  // Earlier tests of this program share the prefix.
  DeleteFilesIn(meadow_.tempCopyDir);
  DeleteFilesIn(meadow_.saverDir);
  DeleteFilesIn(PlacesFor("").saverDir);
  DeleteFileA((meadow_.windowsDir + "impborl.dll").c_str());
}

HWND E2eTest::LaunchAndWaitForForm(InstallerSession& session, const std::string& image,
                                   const std::string& argument) {
  if (!session.Launch(image, "setup.exe", argument)) {
    ADD_FAILURE() << session.launchError;
    return nullptr;
  }
  HWND form = session.WaitForForm();
  if (!form) {
    std::string how = "the time ran out";
    DWORD exitCode = 0;
    if (driver::WaitForExit(session.Process(), 0, &exitCode)) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(exitCode));
      how = std::string("the installer ended with exit code ") + code;
    }
    ADD_FAILURE() << "the installer window did not show (" << how << "); message boxes:\n"
                  << DescribeBoxes(session.boxes);
  }
  return form;
}

void E2eTest::CloseAndWait(InstallerSession& session, HWND form, driver::CloseHow how) {
  ASSERT_TRUE(driver::RequestClose(form, how));
  ASSERT_TRUE(session.WaitForEnd()) << "the installer did not end after closing";
}

}  // namespace ssi::e2e
