// Whole install runs, interactive and silent, over real installer files: the
// order of statuses and progress, the manifest just before it goes, the files
// in place, system.ini, the uninstall entry, Display Properties, and what a
// failed run leaves behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "activation.h"
#include "artifacts.h"
#include "install_fixture.h"
#include "install_sequence.h"
#include "messages.h"
#include "test_build.h"

namespace ssi::test {
namespace {

using Manifest = std::vector<std::pair<std::string, std::string>>;

std::string UninstallKey(const std::string& name) { return std::string(kUninstallKeyBase) + name; }

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& text : texts) all += "[" + text + "]\n";
  return all;
}

// Files that every successful install of a test package leaves in place.
void ExpectInstalledFiles(const WorkPaths& p, const std::string& programName) {
  EXPECT_EQ(ReadWholeFile(p.windowsDir + programName), PackageFileBytes(programName));
  for (const char* name : {kFurtherFile, "saver1.dll", "saver2.dll", kChunkPicture, kChunkText}) {
    EXPECT_EQ(ReadWholeFile(p.saverDir + name), PackageFileBytes(name)) << name;
  }
  EXPECT_EQ(ReadWholeFile(p.saverDir + "saver.dat"), PackageSettingsRecord());
  // The manifest and the data file do not outlive the install.
  EXPECT_FALSE(FileExistsAt(p.saverIniPath));
  EXPECT_FALSE(FileExistsAt(p.dataFilePath));
}

class ScreenSaverFlagRefused {
 public:
  ScreenSaverFlagRefused() {
    g_setScreenSaverActive = [] { return false; };
  }
  ~ScreenSaverFlagRefused() { g_setScreenSaverActive = &SetScreenSaverActiveThroughSystem; }
};

TEST(InteractiveInstall, CompleteRunInstallsEverythingAndHandsOverToTheSystem) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  SaverPackage package;  // "meadow", movie preview, Display Properties asked for
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  LoggingUi& ui = prepared.ui;
  ui.log.clear();
  const WorkPaths p = prepared.in.paths;
  // With the compression library built, the program travels imploded and
  // goes through the expander, as in a real installer.
  if (std::getenv("SSI_IMPBORL") != nullptr) {
    EXPECT_NE(prepared.in.header.entries[entry::kSaverProgram].compressed, 0);
  }

  InstallInteractively(prepared.in);

  const std::string writing = std::string("status:") + msg::kWritingFiles;
  const std::vector<std::string> expected = {
      std::string("status:") + msg::kPreparing,
      "step",
      writing,
      "step",
      writing,
      "step",
      writing,
      "step",
      writing,
      "step",
      writing,
      "step",
      std::string("status:") + msg::kExpandingFiles,
      "step",
      std::string("status:") + msg::kWritingSettings,
      std::string("status:") + msg::kOpeningDisplayProperties,
      "front",
      "step",
      std::string("status:") + msg::kInstallComplete,
      "full",
      "pause",
      "pause",
      "empty"};
  EXPECT_EQ(ui.log, expected);
  EXPECT_FALSE(prepared.in.saverIni.has_value());

  // The manifest as it stood before the sequence deleted it: the set-up's
  // records, the temporary copy, the entries 6 to 10, then the chunks.
  const Manifest expectedManifest = {{"0", p.saverIniPath},
                                     {"1", p.saverDir + kPreviewFile},
                                     {"2", p.tempCopyPath},
                                     {"3", p.windowsDir + "meadow.scr"},
                                     {"4", p.saverDir + kFurtherFile},
                                     {"5", p.dataFilePath},
                                     {"6", p.saverDir + "saver1.dll"},
                                     {"7", p.saverDir + "saver2.dll"},
                                     {"8", p.saverDir + kChunkPicture},
                                     {"9", p.saverDir + kChunkText}};
  EXPECT_EQ(ui.manifestAtEnd, expectedManifest);
  EXPECT_EQ(p.dataFilePath, p.saverDir + "meadow.ssd");

  ExpectInstalledFiles(p, "meadow.scr");
  EXPECT_TRUE(FileExistsAt(p.tempCopyPath)) << "the window deletes it when it closes";
  EXPECT_EQ(ScreenSaverSetting(), "meadow.scr");
  EXPECT_EQ(MachineString(UninstallKey("meadow"), "DisplayName"), "meadow Screen Saver");
  EXPECT_EQ(MachineString(UninstallKey("meadow"), "UninstallString"),
            "\"" + p.windowsDir + "meadow.scr\" /u");

  // The stand-in opened by the desktop's shell (the test program is as
  // elevated as the installer); closing it clicks its Cancel button.
  ASSERT_NE(WaitForWindow(kDisplayPropertiesTitle, 15000), nullptr);
  CloseDisplayProperties();
  EXPECT_TRUE(WaitForNoWindow(kDisplayPropertiesTitle, 15000));
}

TEST(SilentInstall, RunsEveryStepWithoutWindowAndOpensDisplayProperties) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  SaverPackage package;
  package.saverName = "quiet";
  package.displayMode = 4;
  package.withFlashInstaller = true;
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  const WorkPaths p = prepared.in.paths;
  prepared.ui.progressSteps = 0;

  InstallSilently(prepared.in);

  EXPECT_TRUE(prepared.ui.errorBoxes.empty()) << Joined(prepared.ui.errorBoxes);
  EXPECT_FALSE(prepared.in.busy);
  // Only the entry writer's own steps (which the window ignores when silent):
  // the sequence and Display Properties take none, and nothing is raised.
  EXPECT_EQ(prepared.ui.progressSteps, 5);
  EXPECT_EQ(prepared.ui.broughtToFront, 0);
  EXPECT_EQ(prepared.ui.pauses, 0);
  // Wine has no Flash player, so its installer was written and started first.
  EXPECT_TRUE(FileExistsAt(p.windowsDir + "flashax.exe"));
  ExpectInstalledFiles(p, "quiet.scr");
  EXPECT_FALSE(FileExistsAt(p.tempCopyPath));
  EXPECT_EQ(ScreenSaverSetting(), "quiet.scr");
  EXPECT_EQ(MachineString(UninstallKey("quiet"), "UninstallString"),
            "\"" + p.windowsDir + "quiet.scr\" /u");

  ASSERT_NE(WaitForWindow(kDisplayPropertiesTitle, 15000), nullptr);
  CloseDisplayProperties();
  EXPECT_TRUE(WaitForNoWindow(kDisplayPropertiesTitle, 15000));
}

TEST(SilentInstall, WithoutTheFlagLeavesDisplayPropertiesClosed) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  SaverPackage package;
  package.saverName = "hushed";
  package.displayMode = 4;
  package.displayPropertiesFlag = false;
  package.withFlashInstaller = true;
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  const WorkPaths p = prepared.in.paths;

  InstallSilently(prepared.in);

  EXPECT_TRUE(prepared.ui.errorBoxes.empty()) << Joined(prepared.ui.errorBoxes);
  ExpectInstalledFiles(p, "hushed.scr");
  EXPECT_FALSE(FileExistsAt(p.tempCopyPath));
  EXPECT_EQ(ScreenSaverSetting(), "hushed.scr");
  for (const std::string& status : prepared.ui.statuses) {
    EXPECT_NE(status, msg::kOpeningDisplayProperties);
  }
  EXPECT_EQ(WaitForWindow(kDisplayPropertiesTitle, 3000), nullptr);
}

TEST(FailedInstall, BusyScreenSaverProgramStopsTheInstallAndIsRemovedOnceReleased) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  SaverPackage package;
  package.saverName = "busy";
  package.displayPropertiesFlag = false;
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  const WorkPaths p = prepared.in.paths;
  const std::string program = p.windowsDir + "busy.scr";
  ASSERT_TRUE(WriteWholeFile(program, "an older busy.scr"));
  HeldFile held(program);
  ASSERT_TRUE(held.Holding());
  const std::string settingBefore = ScreenSaverSetting();
  // An open control panel shows whether the clean-up ran: it closes it.
  StartDisplayPropertiesByHand();
  ASSERT_NE(WaitForWindow(kDisplayPropertiesTitle, 15000), nullptr);

  InstallInteractively(prepared.in);

  ASSERT_EQ(prepared.ui.errorBoxes.size(), 1u) << Joined(prepared.ui.errorBoxes);
  EXPECT_EQ(prepared.ui.errorBoxes[0],
            "Setup Error: Screen Saver file is busy.\r\n\r\n"
            "Please close the screen saver control panel and try again.");
  ASSERT_FALSE(prepared.ui.statuses.empty());
  EXPECT_EQ(prepared.ui.statuses.back(), msg::kFailedSaverBusy);
  EXPECT_TRUE(WaitForNoWindow(kDisplayPropertiesTitle, 15000))
      << "clean-up closes Display Properties";
  EXPECT_TRUE(FileExistsAt(program)) << "the busy program stays";
  EXPECT_FALSE(FileExistsAt(p.saverIniPath));
  EXPECT_FALSE(FileExistsAt(p.saverDir + kFurtherFile)) << "nothing after the program is written";
  EXPECT_EQ(ScreenSaverSetting(), settingBefore);
  EXPECT_EQ(MachineString(UninstallKey("busy"), "DisplayName"), "<missing>");

  // Once the other program lets go, the clean-up removes the program file,
  // whichever run wrote it.
  held.Release();
  EXPECT_EQ(ReadWholeFile(program), "an older busy.scr");
  CleanUpFailedInstall(prepared.in);
  EXPECT_FALSE(FileExistsAt(program));
}

TEST(FailedInstall, RefusedScreenSaverFlagEndsWithItsOwnStatusAndNoBox) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  SaverPackage package;
  package.saverName = "refused";
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  const WorkPaths p = prepared.in.paths;
  ScreenSaverFlagRefused refuse;

  InstallInteractively(prepared.in);

  EXPECT_TRUE(prepared.ui.errorBoxes.empty()) << Joined(prepared.ui.errorBoxes);
  ASSERT_FALSE(prepared.ui.statuses.empty());
  EXPECT_EQ(prepared.ui.statuses.back(), msg::kFailedRefused);
  // The setting written before the refusal stays; the program it names is
  // removed again; nothing is registered and Display Properties stays shut.
  EXPECT_EQ(ScreenSaverSetting(), "refused.scr");
  EXPECT_FALSE(FileExistsAt(p.windowsDir + "refused.scr"));
  EXPECT_EQ(ReadWholeFile(p.saverDir + kChunkText), PackageFileBytes(kChunkText));
  EXPECT_FALSE(FileExistsAt(p.saverIniPath));
  EXPECT_FALSE(FileExistsAt(p.dataFilePath));
  EXPECT_EQ(MachineString(UninstallKey("refused"), "DisplayName"), "<missing>");
  EXPECT_EQ(WaitForWindow(kDisplayPropertiesTitle, 2000), nullptr);
}

TEST(FailedInstall, RefusedSystemIniWriteIsReportedAndFailsTheInstall) {
  SaverPackage package;
  package.saverName = "locked";
  package.displayPropertiesFlag = false;
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  const WorkPaths p = prepared.in.paths;
  const std::string systemIni = p.windowsDir + "system.ini";
  if (!FileExistsAt(systemIni)) {
    ASSERT_TRUE(WriteWholeFile(systemIni, "[boot]\r\n"));
  }
  const std::string settingBefore = ScreenSaverSetting();
  {
    FileHandle locked(
        CreateFileA(systemIni.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(static_cast<bool>(locked));
    InstallInteractively(prepared.in);
  }

  ASSERT_EQ(prepared.ui.errorBoxes.size(), 1u) << Joined(prepared.ui.errorBoxes);
  EXPECT_EQ(
      prepared.ui.errorBoxes[0].rfind("Installation Error: Problem using system.ini. \r\n\r\n", 0),
      0u)
      << prepared.ui.errorBoxes[0];
  EXPECT_EQ(prepared.ui.statuses.back(), msg::kFailed);
  EXPECT_EQ(ScreenSaverSetting(), settingBefore);
  EXPECT_FALSE(FileExistsAt(p.windowsDir + "locked.scr"));
  EXPECT_EQ(MachineString(UninstallKey("locked"), "DisplayName"), "<missing>");
}

// A silent run has no status line: a step that reported its failure is
// reported once more, without a file name, after the work files are gone.
TEST(FailedInstall, SilentRunReportsTheFailureAgainWithoutAFileNameAndCleansUp) {
  SaverPackage package;
  package.saverName = "mute";
  package.displayMode = 4;
  package.displayPropertiesFlag = false;
  package.withFlashInstaller = true;
  const std::string file = BuildInstallerFile(package, MakeTempFolder("ssi-install"));
  ASSERT_FALSE(file.empty());
  PreparedInstall prepared(file);
  ASSERT_TRUE(prepared.ok) << Joined(prepared.ui.errorBoxes);
  const WorkPaths p = prepared.in.paths;
  const std::string systemIni = p.windowsDir + "system.ini";
  if (!FileExistsAt(systemIni)) {
    ASSERT_TRUE(WriteWholeFile(systemIni, "[boot]\r\n"));
  }
  {
    FileHandle locked(
        CreateFileA(systemIni.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(static_cast<bool>(locked));
    InstallSilently(prepared.in);
  }

  ASSERT_EQ(prepared.ui.errorBoxes.size(), 2u) << Joined(prepared.ui.errorBoxes);
  EXPECT_EQ(
      prepared.ui.errorBoxes[0].rfind("Installation Error: Problem using system.ini. \r\n\r\n", 0),
      0u)
      << prepared.ui.errorBoxes[0];
  EXPECT_EQ(prepared.ui.errorBoxes[1].rfind("Installation Error: Problem using . \r\n\r\n", 0), 0u)
      << prepared.ui.errorBoxes[1];
  EXPECT_FALSE(prepared.in.busy);
  EXPECT_FALSE(FileExistsAt(p.windowsDir + "mute.scr")) << "the clean-up removes the program";
  EXPECT_FALSE(FileExistsAt(p.saverIniPath));
  EXPECT_FALSE(FileExistsAt(p.dataFilePath));
  EXPECT_FALSE(FileExistsAt(p.tempCopyPath));
  EXPECT_EQ(MachineString(UninstallKey("mute"), "DisplayName"), "<missing>");
}

}  // namespace
}  // namespace ssi::test
