// The Flash check at the start of the silent install: with the control there
// nothing is written or run; without it the payload's Flash installer runs
// and the install goes on whatever it achieved; without that installer the
// run fails with -1.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "install_fixture.h"
#include "install_sequence.h"
#include "messages.h"
#include "flash_test_support.h"

namespace ssi::test {
namespace {

using Lines = std::vector<std::string>;

class SilentFlash : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InstallDisplayPropertiesStandIn());
    ResetStandin();
    UnregisterStandinControl();
  }
  void TearDown() override { ResetStandin(); }

  // A silent package that leaves Display Properties closed.
  static SaverPackage Silent(const std::string& name, bool withFlashInstaller) {
    SaverPackage package;
    package.saverName = name;
    package.displayMode = 4;
    package.displayPropertiesFlag = false;
    package.withFlashInstaller = withFlashInstaller;
    return package;
  }
};

TEST_F(SilentFlash, WithTheControlPresentNothingIsWrittenOrRunAndTheInstallRuns) {
  RegisterStandinControl();
  ClearStandinLog();
  const std::string file = BuildInstallerFile(Silent("present", true), MakeTempFolder("ssi-flash"));
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok);
  const WorkPaths p = prepared.in.paths;

  InstallSilently(prepared.in);

  EXPECT_TRUE(prepared.ui.errorBoxes.empty());
  EXPECT_EQ(StandinLog(), (Lines{"create", "destroy"}));
  EXPECT_FALSE(FileExistsAt(p.windowsDir + "flashax.exe"));
  EXPECT_TRUE(FileExistsAt(p.windowsDir + "present.scr"));
  EXPECT_EQ(ScreenSaverSetting(), "present.scr");
}

TEST_F(SilentFlash, WithoutTheControlTheFlashInstallerRunsAndTheInstallGoesOnWithoutIt) {
  // The package's Flash installer registers no control.
  const std::string file = BuildInstallerFile(Silent("absent", true), MakeTempFolder("ssi-flash"));
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok);
  const WorkPaths p = prepared.in.paths;

  InstallSilently(prepared.in);

  EXPECT_TRUE(prepared.ui.errorBoxes.empty());
  EXPECT_TRUE(FileExistsAt(p.windowsDir + "flashax.exe"));
  EXPECT_TRUE(FileExistsAt(p.windowsDir + "absent.scr"));
  EXPECT_EQ(ScreenSaverSetting(), "absent.scr");
}

TEST_F(SilentFlash, WithoutTheControlOrAFlashInstallerTheRunFailsWithMinusOne) {
  const std::string file = BuildInstallerFile(Silent("bare", false), MakeTempFolder("ssi-flash"));
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok);
  const WorkPaths p = prepared.in.paths;

  InstallSilently(prepared.in);

  EXPECT_EQ(prepared.ui.errorBoxes, (Lines{"Installation Error: Unspecified error."}));
  EXPECT_FALSE(FileExistsAt(p.windowsDir + "bare.scr"));
}

}  // namespace
}  // namespace ssi::test
