// Deleting a file that another program may hold open: one silent attempt,
// or 5000 attempts and a message that depends on the file's extension.
#include <windows.h>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "file_replace.h"
#include "messages.h"
#include "payload_test_support.h"

namespace ssi::test {
namespace {

class FileReplace : public ::testing::Test {
 protected:
  std::string dir = MakeTempFolder("ssi-replace");
  RecordingUi ui;
  Installer in{ui};
};

TEST_F(FileReplace, FileAndFolderExistenceTellFilesFromFolders) {
  const std::string file = dir + "a.txt";
  ASSERT_TRUE(WriteWholeFile(file, "x"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_FALSE(FileExists(dir));
  EXPECT_FALSE(FileExists(dir.substr(0, dir.size() - 1)));
  EXPECT_TRUE(FolderExists(dir));
  EXPECT_FALSE(FileExists(dir + "missing.txt"));
  EXPECT_FALSE(FolderExists(dir + "missing"));
}

TEST_F(FileReplace, AbsentFilesAndFoldersCountAsDeleted) {
  const std::string folder = dir + "sub";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_EQ(DeleteFileOnce(dir + "missing.txt"), rc::kOk);
  EXPECT_EQ(DeleteFileOnce(folder), rc::kOk);
  EXPECT_EQ(DeleteFileRetrying(in, folder), rc::kOk);
  EXPECT_EQ(DeleteFileRetrying(in, folder + "\\"), rc::kOk);
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(FileReplace, ReadOnlyFilesAreReplaced) {
  for (int retrying = 0; retrying < 2; ++retrying) {
    const std::string file = dir + "locked" + std::to_string(retrying) + ".txt";
    ASSERT_TRUE(WriteWholeFile(file, "x"));
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(retrying ? DeleteFileRetrying(in, file) : DeleteFileOnce(file), rc::kOk);
    EXPECT_FALSE(FileExists(file));
  }
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(FileReplace, BusyFileStaysAndOnlyTheRetryingDeleteSaysSo) {
  const std::string file = dir + "meadow.ssd";
  ASSERT_TRUE(WriteWholeFile(file, "old"));
  {
    HeldFile held(file);
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(DeleteFileOnce(file), rc::kFileBusy);
    EXPECT_TRUE(ui.errorBoxes.empty());
    EXPECT_EQ(DeleteFileRetrying(in, file), rc::kFileBusy);
  }
  ASSERT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_EQ(ui.errorBoxes[0], msg::InstallErrorText(rc::kFileBusy, file, ""));
  EXPECT_EQ(ReadWholeFile(file), "old");
}

TEST_F(FileReplace, BusyScreenSaverProgramInAnyCaseAsksToCloseThePanel) {
  const std::string file = dir + "MEADOW.SCR";
  ASSERT_TRUE(WriteWholeFile(file, "old"));
  {
    HeldFile held(file);
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(DeleteFileOnce(file), rc::kFileBusy);
    EXPECT_EQ(DeleteFileRetrying(in, file), rc::kSaverBusy);
  }
  ASSERT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_EQ(ui.errorBoxes[0],
            "Setup Error: Screen Saver file is busy.\r\n\r\n"
            "Please close the screen saver control panel and try again.");
  EXPECT_TRUE(FileExists(file));
}

}  // namespace
}  // namespace ssi::test
