// The files and manifest keys that the set-up writes before the user chooses,
// and what closing the window without installing leaves behind.
#include <gtest/gtest.h>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "messages.h"

namespace ssi::e2e {
namespace {

class SetupFiles : public E2eTest {};

TEST_F(SetupFiles, WritesLibraryReadMeLicenceAndBitmapPreviewAndRecordsThemInOrder) {
  const std::string image = Meadow(true, true);
  const std::set<std::string> before = WindowsFolder();
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, image);
  ASSERT_TRUE(form);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  EXPECT_EQ(test::ReadWholeFile(meadow_.windowsDir + "impborl.dll"), library_);
  EXPECT_EQ(test::ReadWholeFile(meadow_.TempCopy(1)), image)
      << "the temporary copy of the installer";
  const std::string readMe = meadow_.saverDir + "readme.txt";
  const std::string licence = meadow_.saverDir + "licence.txt";
  const std::string preview = meadow_.saverDir + "installer.bmp";
  EXPECT_EQ(test::ReadWholeFile(readMe), kReadMeText);
  EXPECT_EQ(test::ReadWholeFile(licence), kLicenceText);
  EXPECT_EQ(test::ReadWholeFile(preview), MakeBitmap(350, 150));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "installer.scf"))
      << "a bitmap preview is written as .bmp";

  const std::map<std::string, std::string> expected = {
      {"0", meadow_.saverIni}, {"1", readMe}, {"2", licence}, {"3", preview}};
  EXPECT_EQ(IniSection(meadow_.saverIni, "Files"), expected);

  // Nothing of the install phase yet.
  EXPECT_FALSE(FileExists(meadow_.windowsDir + "meadow.scr"));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "meadow.ssd"));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "meadow.txt"));

  // Decline: the temporary copy goes, and with it all the set-up wrote,
  // the library it put there new included.
  HWND decline = driver::FindControl(form, control_id::kDeclineBtn);
  ASSERT_TRUE(driver::PressButton(decline));
  ASSERT_TRUE(session.WaitForEnd()) << "Decline should close the installer";
  EXPECT_EQ(session.ExitCode(), kExitNotInstalled);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_EQ(WindowsFolder(), before) << "the Windows folder is as before";
}

TEST_F(SetupFiles, TheCloseBoxDeletesWhatTheSetUpWroteButALibraryThatWasThere) {
  // A library from an earlier install is written over, and stays.
  ASSERT_TRUE(test::WriteWholeFile(meadow_.windowsDir + "impborl.dll", "an older library"));
  const std::set<std::string> before = WindowsFolder();
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Meadow(false, false));
  ASSERT_TRUE(form);
  EXPECT_TRUE(FileExists(meadow_.TempCopy(1)));
  // The installer holds its own file from its start, so nobody can rename
  // it and put another in its place; nor change or remove the copy.
  const std::string renamed = session.InstallerPath() + ".old";
  EXPECT_FALSE(MoveFileA(session.InstallerPath().c_str(), renamed.c_str()));
  EXPECT_FALSE(DeleteFileA(meadow_.TempCopy(1).c_str()));
  const std::map<std::string, std::string> expected = {{"0", meadow_.saverIni},
                                                       {"1", meadow_.saverDir + "installer.bmp"}};
  EXPECT_EQ(IniSection(meadow_.saverIni, "Files"), expected);

  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
  EXPECT_EQ(session.ExitCode(), kExitNotInstalled);
  EXPECT_TRUE(MoveFileA(session.InstallerPath().c_str(), renamed.c_str())) << "let go at the end";
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_TRUE(FolderExists(meadow_.tempCopyDir)) << "the temporary folders stay";
  EXPECT_EQ(WindowsFolder(), before) << "the Windows folder is as before";
  EXPECT_EQ(test::ReadWholeFile(meadow_.windowsDir + "impborl.dll"), library_);
}

// Copies left by a crash or held by another installer are never written
// into or deleted. Wine reports every folder as its user's, so the folder
// they lie in counts as someone else's and goes aside whole (in a folder of
// our own, as on Windows, the copy takes the next free number).
TEST_F(SetupFiles, ACopyLeftByEarlierRunsIsNeverReused) {
  ASSERT_TRUE(CreateDirectoryA(meadow_.tempCopyDir.c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(test::WriteWholeFile(meadow_.TempCopy(1), "left by a crash"));
  ASSERT_TRUE(test::WriteWholeFile(meadow_.TempCopy(2), "held by another installer"));
  const std::string image = Meadow(false, false);

  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, image);
  ASSERT_TRUE(form);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  int copies = 0;
  for (const std::string& name : FolderEntries(meadow_.tempCopyDir))
    copies += test::ReadWholeFile(meadow_.tempCopyDir + name) == image ? 1 : 0;
  EXPECT_EQ(copies, 1);

  CloseAndWait(session, form, driver::CloseHow::kCloseMessage);
  const std::string temp = meadow_.windowsDir + "TEMP\\";
  bool leftAlone = false;
  for (const std::string& name : FolderEntries(temp)) {
    if (name.rfind("VLF temp", 0) != 0) continue;
    const std::string folder = temp + name + "\\";
    leftAlone =
        leftAlone || (test::ReadWholeFile(folder + "temp1.dat") == "left by a crash" &&
                      test::ReadWholeFile(folder + "temp2.dat") == "held by another installer" &&
                      FolderEntries(folder).size() == 2);
  }
  EXPECT_TRUE(leftAlone);
}

TEST_F(SetupFiles, ACommandLineArgumentSkipsTheSetUpAndWritesNothing) {
  const std::set<std::string> windowsBefore = FolderEntries(meadow_.windowsDir);
  const std::set<std::string> tempCopiesBefore = FolderEntries(meadow_.tempCopyDir);

  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Meadow(true, true), "/s");
  ASSERT_TRUE(form);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  const driver::WindowState w = driver::ReadWindow(form);
  EXPECT_EQ(w.caption, msg::kDesignCaption) << "the caption changes only after a read header";
  EXPECT_TRUE(driver::ReadControlById(form, control_id::kInstallBtn).enabled);
  EXPECT_EQ(FolderEntries(meadow_.windowsDir), windowsBefore);
  EXPECT_EQ(FolderEntries(meadow_.tempCopyDir), tempCopiesBefore);
  EXPECT_FALSE(FileExists(meadow_.saverIni));

  // With nowhere to install to, Install only closes the window.
  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));
  ASSERT_TRUE(session.WaitForEnd());
  EXPECT_EQ(session.ExitCode(), kExitNotInstalled) << "nothing to install";
  EXPECT_EQ(FolderEntries(meadow_.windowsDir), windowsBefore);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
}

}  // namespace
}  // namespace ssi::e2e
