// A payload that asks for a silent install, run as the real program: no
// window ever shows, the install runs inside the set-up, and the program ends
// by itself.
#include <gtest/gtest.h>

#include <cstdlib>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "messages.h"
#include "sample_data_file.h"

namespace ssi::e2e {
namespace {

class SilentInstall : public E2eTest {
 protected:
  // The silent install runs the Flash check first; Wine has no Flash player,
  // so the payload carries a stand-in installer that ends at once.
  TestPayload SilentMeadow(bool withLicence) const {
    TestPayload p = MeadowPayload(library_, withLicence, false);
    p.displayMode = 4;
    p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
    p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
    p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
    const char* standIn = std::getenv("SSI_SAMPLE_SAVER");
    if (standIn && *standIn) {
      p.entries[entry::kFlashInstaller] = {"flashax.exe",
                                           test::ReadWholeFile(test::UnixToWinePath(standIn)), 2};
    }
    EXPECT_FALSE(p.entries[entry::kFlashInstaller].bytes.empty())
        << "SSI_SAMPLE_SAVER names no program";
    return p;
  }

  // Runs `image` to its end, answering every box; never a window.
  void RunToEnd(InstallerSession& session, const std::string& image, DWORD exitCode) {
    ASSERT_TRUE(session.Launch(image)) << session.launchError;
    ASSERT_TRUE(session.WaitForEnd()) << "a silent installer ends by itself";
    EXPECT_EQ(session.ExitCode(), exitCode);
  }
};

TEST_F(SilentInstall, InstallsWithoutAWindowAndEndsLeavingNoWorkFiles) {
  const TestPayload p = SilentMeadow(false);
  InstallerSession session;
  RunToEnd(session, Compose(stub_, p).image, kExitInstalled);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  EXPECT_TRUE(test::ReadWholeFile(meadow_.windowsDir + "meadow.scr") ==
              p.entries[entry::kSaverProgram].bytes);
  EXPECT_TRUE(test::ReadWholeFile(meadow_.saverDir + "meadow1.bmp") == MakeBitmap(64, 48));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "installer.bmp")) << "no preview without a window";
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_FALSE(FileExists(meadow_.saverIni));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "meadow.ssd"));
  char scrnsave[MAX_PATH] = {};
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", scrnsave, sizeof scrnsave, "system.ini");
  EXPECT_STREQ(scrnsave, "meadow.scr");
}

// The silent install deletes the temporary copy that every payload reader
// uses, so the set-up ends with it: no licence is read from a missing copy,
// nothing is reported, and no manifest stays behind.
TEST_F(SilentInstall, ALicenceIsNotReadAfterTheInstall) {
  const TestPayload p = SilentMeadow(true);
  InstallerSession session;
  RunToEnd(session, Compose(stub_, p).image, kExitInstalled);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  EXPECT_TRUE(test::ReadWholeFile(meadow_.windowsDir + "meadow.scr") ==
              p.entries[entry::kSaverProgram].bytes);
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "licence.txt"));
  EXPECT_FALSE(FileExists(meadow_.saverIni));
}

// Without a Flash installer in the payload the run fails with -1 before any
// file is written; that step reports nothing, so the sequence's own report is
// the only one, and no work file stays behind.
TEST_F(SilentInstall, AFailedRunIsReportedOnceWithoutAFileName) {
  TestPayload p = SilentMeadow(false);
  p.entries[entry::kFlashInstaller] = {};
  InstallerSession session;
  RunToEnd(session, Compose(stub_, p).image, kExitFailed);
  ASSERT_EQ(session.boxes.size(), 1u) << DescribeBoxes(session.boxes);
  EXPECT_EQ(session.boxes[0].title, "Error");
  EXPECT_EQ(session.boxes[0].text, msg::InstallErrorText(rc::kUnspecified, "", ""));
  EXPECT_FALSE(FileExists(meadow_.windowsDir + "meadow.scr"));
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_FALSE(FileExists(meadow_.saverIni));
}

// Memory running out in the middle of the install (the test build's switch
// asks for more than any heap holds) is reported by its own box and a
// failed run; the program ends by itself and leaves no work file behind.
TEST_F(SilentInstall, RunningOutOfMemoryIsReportedAndTheRunEnds) {
  const TestPayload p = SilentMeadow(false);
  InstallerSession session;
  SetEnvironmentVariableA("SSI_SWITCH_OUT_OF_MEMORY", "1");
  RunToEnd(session, Compose(stub_, p).image, kExitFailed);
  SetEnvironmentVariableA("SSI_SWITCH_OUT_OF_MEMORY", nullptr);
  ASSERT_FALSE(session.boxes.empty());
  EXPECT_EQ(session.boxes[0].text, msg::kOutOfMemory) << DescribeBoxes(session.boxes);
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_FALSE(FileExists(meadow_.saverIni));
}

// A silent installer cut short is refused at start with its one box; it
// ends by itself, without a window, having written nothing.
TEST_F(SilentInstall, AnIncompleteInstallerEndsWithoutAWindowAndWritesNothing) {
  const std::string image = Compose(stub_, SilentMeadow(false)).image;
  const std::set<std::string> windowsBefore = FolderEntries(meadow_.windowsDir);
  InstallerSession session;
  RunToEnd(session, image.substr(0, image.size() - 1), kExitFailed);
  ASSERT_EQ(session.boxes.size(), 1u) << DescribeBoxes(session.boxes);
  EXPECT_EQ(session.boxes[0].text,
            msg::InstallErrorText(rc::kHeaderShort, meadow_.TempCopy(1), ""));
  EXPECT_EQ(FolderEntries(meadow_.windowsDir), windowsBefore);
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
}

}  // namespace
}  // namespace ssi::e2e
