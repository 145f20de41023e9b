// The work locations: the Windows directory rule, the numbered temporary
// copy of the installer, and the screen saver's folder with its manifest.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "file_replace.h"
#include "file_stream.h"
#include "payload_test_support.h"
#include "secure_folder.h"
#include "work_paths.h"

namespace ssi::test {
namespace {

TEST(WorkPathRules, WindowsDirectoryGetsOneTrailingBackslash) {
  WorkPaths p;
  SetTempLocations(p, "C:\\WINDOWS");
  EXPECT_EQ(p.windowsDir, "C:\\WINDOWS\\");
  EXPECT_EQ(p.windowsTempDir, "C:\\WINDOWS\\TEMP\\");
  EXPECT_EQ(p.tempCopyDir, "C:\\WINDOWS\\TEMP\\VLF temp");
  EXPECT_EQ(p.tempCopyPath, "C:\\WINDOWS\\TEMP\\VLF temp\\temp1.dat");
  SetTempLocations(p, "C:\\");
  EXPECT_EQ(p.windowsDir, "C:\\");
  EXPECT_EQ(p.tempCopyPath, "C:\\TEMP\\VLF temp\\temp1.dat");
  EXPECT_EQ(TempCopyPathFor("D:\\x", 12), "D:\\x\\temp12.dat");
  EXPECT_EQ(SaverDirFor("C:\\WINDOWS\\", "meadow"), "C:\\WINDOWS\\meadow dir\\");
  EXPECT_EQ(SaverDirFor("C:\\WINDOWS\\", ""), "C:\\WINDOWS\\TempSaverDir dir\\");
}

// ResolveWorkPaths works in the real Windows directory; each test starts
// with an empty "VLF temp" folder.
class TempCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    copyDir = WindowsDir() + "TEMP\\VLF temp\\";
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((copyDir + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      const std::string path = copyDir + found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryA(path.c_str());
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  std::string copyDir;
  RecordingUi ui;
  Installer in{ui};
};

TEST_F(TempCopy, CopiesTheRunningProgramToTheFirstFreeNumber) {
  ResolveWorkPaths(in);
  EXPECT_EQ(in.paths.windowsDir, WindowsDir());
  EXPECT_EQ(in.paths.tempCopyDir + "\\", copyDir);
  EXPECT_TRUE(FolderExists(in.paths.windowsTempDir));
  EXPECT_TRUE(FolderExists(in.paths.tempCopyDir));
  EXPECT_EQ(in.paths.tempCopyPath, copyDir + "temp1.dat");
  char self[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_EQ(in.paths.installerPath, self);

  EXPECT_EQ(CopySelfToTemp(in), rc::kOk);
  EXPECT_EQ(ReadWholeFile(in.paths.tempCopyPath), ReadWholeFile(self));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

// Copies in our own folder, left by a crash or held by another installer.
TEST_F(TempCopy, SkipsCopiesLeftBehind) {
  ResolveWorkPaths(in);
  ASSERT_TRUE(in.tempFolderGuard);
  ASSERT_TRUE(WriteWholeFile(copyDir + "temp1.dat", "a"));
  ASSERT_TRUE(WriteWholeFile(copyDir + "temp2.dat", "b"));
  ResolveWorkPaths(in);
  EXPECT_EQ(in.paths.tempCopyPath, copyDir + "temp3.dat");
}

// A name taken after the look-up, by a file (even one held open) or by a
// folder, is never written into: the copy moves on to the next number.
TEST_F(TempCopy, NamesTakenAfterTheLookUpAreNeverWrittenInto) {
  ResolveWorkPaths(in);
  ASSERT_EQ(in.paths.tempCopyPath, copyDir + "temp1.dat");
  ASSERT_TRUE(WriteWholeFile(copyDir + "temp1.dat", "planted"));
  ASSERT_TRUE(CreateDirectoryA((copyDir + "temp2.dat").c_str(), nullptr));
  {
    HeldFile held(copyDir + "temp1.dat");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(CopySelfToTemp(in), rc::kOk);
  }
  EXPECT_EQ(in.paths.tempCopyPath, copyDir + "temp3.dat");
  EXPECT_EQ(ReadWholeFile(copyDir + "temp1.dat"), "planted");
  EXPECT_TRUE(FolderExists(copyDir + "temp2.dat"));
  char self[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_EQ(ReadWholeFile(in.paths.tempCopyPath), ReadWholeFile(self));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

// For the whole run the copy is read through the handle that made it, and
// nobody may write, delete or rename it. At the end that handle deletes the
// name it made, and no other: a second name of the file stays, and a copy
// that was never made deletes nothing.
TEST_F(TempCopy, TheCopyIsHeldForTheRunAndDeletedThroughItsHandle) {
  ResolveWorkPaths(in);
  ASSERT_EQ(CopySelfToTemp(in), rc::kOk);
  const std::string copy = in.paths.tempCopyPath;
  FileStream reader;
  ASSERT_EQ(reader.ReadThrough(in.tempCopyGuard.get()), rc::kOk);
  char start[2] = {};
  EXPECT_EQ(reader.Seek(0), rc::kOk);
  EXPECT_EQ(reader.Read(start, 2), rc::kOk);
  EXPECT_EQ(std::string(start, 2), "MZ");
  const FileHandle writer(
      CreateFileA(copy.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(writer);
  EXPECT_FALSE(DeleteFileA(copy.c_str()));
  EXPECT_FALSE(MoveFileA(copy.c_str(), (copyDir + "moved.dat").c_str()));
  reader.Close();
  DeleteTempCopy(in);
  EXPECT_FALSE(FileExists(copy));

  ASSERT_EQ(CopySelfToTemp(in), rc::kOk);
  ASSERT_TRUE(CreateHardLinkA((copyDir + "second name.dat").c_str(), in.paths.tempCopyPath.c_str(),
                              nullptr));
  DeleteTempCopy(in);
  EXPECT_FALSE(FileExists(in.paths.tempCopyPath));
  EXPECT_TRUE(FileExists(copyDir + "second name.dat"));

  ASSERT_TRUE(WriteWholeFile(in.paths.tempCopyPath, "someone else's"));
  DeleteTempCopy(in);
  EXPECT_TRUE(FileExists(in.paths.tempCopyPath));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

// A folder under our name that everyone may write to, as another user would
// leave it for us: an empty one is made anew, one with contents is renamed
// aside whole and a new one made, and only then is the copy made in it.
// (Wine keeps no access lists but maps them to the folder's Unix mode, which
// is enough to tell the two apart.)
TEST_F(TempCopy, AFolderOthersMayWriteToIsMadeOursBeforeTheCopy) {
  const std::string folder = copyDir.substr(0, copyDir.size() - 1);
  for (const bool withContents : {false, true}) {
    CreateDirectoryA(folder.c_str(), nullptr);
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL everyone = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(open, &present, &everyone, &defaulted));
    ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, everyone, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(open);
    ASSERT_FALSE(FolderIsPrivate(folder));
    if (withContents) {
      ASSERT_TRUE(WriteWholeFile(copyDir + "theirs.txt", "planted"));
    }

    Installer run{ui};
    ResolveWorkPaths(run);
    EXPECT_TRUE(run.tempFolderGuard) << withContents;
    EXPECT_EQ(CopySelfToTemp(run), rc::kOk) << withContents;
    if (withContents) {
      EXPECT_FALSE(FileExists(copyDir + "theirs.txt"));
      bool keptAside = false;
      for (int n = 1; n < 10; ++n)
        keptAside = keptAside || ReadWholeFile(AsideName(folder, n) + "\\theirs.txt") == "planted";
      EXPECT_TRUE(keptAside);
    }
    DeleteTempCopy(run);
  }
  EXPECT_TRUE(ui.errorBoxes.empty());
}

// Someone else's folder under our name that could not be moved aside (on
// Windows, one held open without delete sharing; Wine moves it all the same,
// so here the folder is opened to everyone after the set-up made it ours):
// no copy, and the box names the folder for an administrator.
TEST_F(TempCopy, AForeignFolderLeftInPlaceIsNamedInTheBox) {
  const std::string folder = copyDir.substr(0, copyDir.size() - 1);
  ResolveWorkPaths(in);
  in.tempFolderGuard.reset();
  PSECURITY_DESCRIPTOR open = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL everyone = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(open, &present, &everyone, &defaulted));
  ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, everyone, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(open);
  EXPECT_EQ(CopySelfToTemp(in), static_cast<ResultCode>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_NE(ui.errorBoxes[0].find("The folder " + folder + " is not the installer's own"),
            std::string::npos)
      << ui.errorBoxes[0];
  RemoveDirectoryA(folder.c_str());
}

// A file under the folder's name is removed and a folder of ours made.
TEST_F(TempCopy, AFileUnderTheFolderNameMakesWayForOurFolder) {
  const std::string folder = copyDir.substr(0, copyDir.size() - 1);
  RemoveDirectoryA(folder.c_str());
  ASSERT_TRUE(WriteWholeFile(folder, "in the way"));
  ResolveWorkPaths(in);
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_TRUE(in.tempFolderGuard);
  EXPECT_EQ(CopySelfToTemp(in), rc::kOk);
  EXPECT_EQ(in.paths.tempCopyPath, copyDir + "temp1.dat");
}

// PrepareSaverDir works under whatever WindowsDir says; these use scratch
// folders.
class SaverDir : public ::testing::Test {
 protected:
  SaverDir() { in.paths.windowsDir = MakeTempFolder("ssi-windows"); }
  std::string Manifest(int key) const {
    char buffer[1024] = {};
    GetPrivateProfileStringA("Files", std::to_string(key).c_str(), "", buffer, sizeof buffer,
                             in.paths.saverIniPath.c_str());
    return buffer;
  }
  RecordingUi ui;
  Installer in{ui};
};

TEST_F(SaverDir, UnreadHeaderGivesTheStandInFolderWithItsManifest) {
  PrepareSaverDir(in);
  const std::string expected = in.paths.windowsDir + "TempSaverDir dir\\";
  EXPECT_EQ(in.paths.saverName, "");
  EXPECT_EQ(in.paths.saverDir, expected);
  EXPECT_TRUE(FolderExists(expected));
  EXPECT_EQ(in.paths.saverIniPath, expected + "saver.ini");
  EXPECT_EQ(in.paths.dataFilePath, expected);
  ASSERT_TRUE(in.saverIni.has_value());
  EXPECT_EQ(in.fileCounter, 1);
  EXPECT_EQ(Manifest(0), expected + "saver.ini");
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(SaverDir, NamedSaverGetsItsFolderAndDataFilePath) {
  in.header.SetSaverName("meadow");
  in.header.entries[8].name = "meadow.ssd";
  PrepareSaverDir(in);
  const std::string expected = in.paths.windowsDir + "meadow dir\\";
  EXPECT_EQ(in.paths.saverName, "meadow");
  EXPECT_EQ(in.paths.saverDir, expected);
  EXPECT_EQ(in.paths.dataFilePath, expected + "meadow.ssd");
  EXPECT_EQ(Manifest(0), expected + "saver.ini");
  // An existing folder is no failure either.
  Installer again{ui};
  again.paths.windowsDir = in.paths.windowsDir;
  again.header = in.header;
  PrepareSaverDir(again);
  EXPECT_EQ(again.paths.saverDir, expected);
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(SaverDir, NamesThatWouldLeaveTheirFolderAreNotUsed) {
  in.header.SetSaverName("..");
  in.header.entries[8].name = "..\\..\\victim.ssd";
  PrepareSaverDir(in);
  EXPECT_EQ(in.paths.saverName, "");
  EXPECT_EQ(in.paths.saverDir, in.paths.windowsDir + "TempSaverDir dir\\");
  EXPECT_EQ(in.paths.dataFilePath, in.paths.saverDir);
}

TEST_F(SaverDir, AManifestThatCannotBeWrittenIsReportedAndTheSetUpGoesOn) {
  // A folder where saver.ini belongs refuses every write.
  const std::string saverDir = in.paths.windowsDir + "TempSaverDir dir\\";
  ASSERT_TRUE(CreateDirectoryA(saverDir.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((saverDir + "saver.ini").c_str(), nullptr));
  PrepareSaverDir(in);
  EXPECT_EQ(in.fileCounter, 0);
  ASSERT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_EQ(
      ui.errorBoxes[0].rfind("Installation Error: Problem using " + saverDir + "saver.ini. ", 0),
      0u)
      << ui.errorBoxes[0];
  EXPECT_EQ(in.paths.saverIniPath, saverDir + "saver.ini");
}

}  // namespace
}  // namespace ssi::test
