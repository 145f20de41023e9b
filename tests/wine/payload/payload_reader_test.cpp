// Reading the payload header from the temporary copy, the entries with fixed
// roles, and the entries written on Install.
#include <windows.h>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "file_replace.h"
#include "messages.h"
#include "payload_offset.h"
#include "payload_reader.h"
#include "payload_test_support.h"

extern "C" volatile const unsigned char ssi_payload_offset_field[20];

namespace ssi::test {
namespace {

// Does to this test program what the builder does to the stub.
void PatchPayloadOffset(uint32_t offset) {
  auto* field = const_cast<unsigned char*>(ssi_payload_offset_field);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(field, 20, PAGE_READWRITE, &old));
  for (int i = 0; i < 4; ++i) field[16 + i] = static_cast<unsigned char>(offset >> (8 * i));
  DWORD ignored = 0;
  VirtualProtect(field, 20, old, &ignored);
}

class HeaderTest : public ::testing::Test {
 protected:
  void TearDown() override { PatchPayloadOffset(0); }
  ScratchInstall s;
  PayloadFileBuilder payload{100};
  void Write(size_t cutTo = std::string::npos) {
    std::string bytes = payload.Bytes();
    if (cutTo < bytes.size()) bytes.resize(cutTo);
    ASSERT_TRUE(WriteWholeFile(s.in.paths.tempCopyPath, bytes));
    PatchPayloadOffset(static_cast<uint32_t>(payload.Offset()));
  }
};

TEST(PayloadOffsetField, UnpatchedProgramHasNoPayloadAndTheStubCarriesTheFieldOnce) {
  EXPECT_EQ(PayloadOffset(), 0);
  const std::string stub = ReadWholeFile(ArtifactPath("SSI_STUB"));
  ASSERT_FALSE(stub.empty());
  const std::string marker = "SSI-PAYLOAD-AT:~";
  const size_t at = stub.find(marker);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(stub.find(marker, at + 1), std::string::npos);
  EXPECT_EQ(stub.substr(at + marker.size(), 4), std::string(4, '\0'));
}

TEST_F(HeaderTest, ReadsTheHeaderAndPutsTheLibraryInPlaceUnrecorded) {
  payload.header.displayMode = 3;
  payload.header.displayPropertiesFlag = 1;
  payload.header.SetSaverName("meadow");
  payload.Add(1, "impborl.dat", 3, "library bytes");
  payload.Add(6, "meadow.scr", 2, "program");
  Write();
  EXPECT_EQ(ReadPayloadHeader(s.in), rc::kOk);
  EXPECT_TRUE(s.in.headerRead);
  EXPECT_EQ(s.in.header.displayMode, 3);
  EXPECT_EQ(s.in.header.SaverName(), "meadow");
  EXPECT_EQ(s.in.header.entries[6].name, "meadow.scr");
  EXPECT_EQ(ReadWholeFile(s.in.paths.windowsDir + "impborl.dll"), "library bytes");
  EXPECT_FALSE(FileExists(s.in.paths.windowsDir + "meadow.scr"));
  EXPECT_EQ(s.in.fileCounter, 0);
  EXPECT_TRUE(s.ui.errorBoxes.empty());
}

TEST_F(HeaderTest, EntryOneFailingIsReportedTwice) {
  payload.header.SetSaverName("meadow");
  Write();
  EXPECT_EQ(ReadPayloadHeader(s.in), rc::kUnspecified);
  EXPECT_TRUE(s.in.headerRead);
  EXPECT_EQ(s.ui.errorBoxes, std::vector<std::string>(2, "Installation Error: Unspecified error."));
}

// An incomplete installer: a stub never given a payload, a header cut short,
// or any entry reaching a byte past the end. Each is reported with the
// temporary copy, leaves the header unread and writes nothing, not even the
// library.
TEST_F(HeaderTest, AnIncompleteInstallerLeavesTheHeaderUnreadAndWritesNothing) {
  payload.header.SetSaverName("meadow");
  payload.Add(1, "impborl.dat", 3, "library");
  payload.Add(10, "saver2.dat", 5, "last entry");
  const auto stub = static_cast<uint32_t>(payload.Offset());
  const auto whole = static_cast<uint32_t>(payload.Bytes().size());
  struct Case {
    const char* what;
    uint32_t offsetField;  // 0: the stub was never given a payload
    int entry;             // made to end on the first byte past the file, unless 0
    uint32_t cutTo;
  } cases[] = {{"a stub without payload", 0, 0, stub},
               {"the header cut short", stub, 0, stub + 3000},
               {"the library past the end", stub, 1, whole},
               {"the last entry a byte past the end", stub, 10, whole},
               {"the file a byte short", stub, 0, whole - 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s.ui.errorBoxes.clear();
    PayloadFileBuilder changed = payload;
    if (c.entry != 0)
      changed.header.entries[static_cast<size_t>(c.entry)].endOffset = static_cast<int32_t>(whole);
    ASSERT_TRUE(WriteWholeFile(s.in.paths.tempCopyPath, changed.Bytes().substr(0, c.cutTo)));
    PatchPayloadOffset(c.offsetField);
    EXPECT_EQ(ReadPayloadHeader(s.in), rc::kHeaderShort);
    EXPECT_EQ(s.ui.errorBoxes, std::vector<std::string>{msg::InstallErrorText(
                                   rc::kHeaderShort, s.in.paths.tempCopyPath, "")});
    EXPECT_FALSE(s.in.headerRead);
    EXPECT_FALSE(FileExists(s.in.paths.windowsDir + "impborl.dll"));
  }
}

TEST_F(HeaderTest, ASaverNameThatIsNoFolderNameLeavesTheHeaderUnread) {
  for (const char* name : {"..", "a\\b", "..\\..\\x", "C:", "what?"}) {
    s.ui.errorBoxes.clear();
    payload.header.SetSaverName(name);
    payload.header.entries[1] = PayloadEntry();
    payload.Add(1, "impborl.dat", 3, "library");
    Write();
    EXPECT_EQ(ReadPayloadHeader(s.in), rc::kUnspecified) << name;
    EXPECT_EQ(s.ui.errorBoxes, std::vector<std::string>{msg::BadSaverNameText(name)});
    EXPECT_FALSE(s.in.headerRead);
    EXPECT_EQ(s.in.header.SaverName(), "");
    EXPECT_TRUE(s.in.header.entries[1].IsEmpty());
    EXPECT_FALSE(FileExists(s.in.paths.windowsDir + "impborl.dll"));
  }
}

TEST_F(HeaderTest, AMissingCopyIsReportedWithTheInstaller) {
  PatchPayloadOffset(100);
  const ResultCode result = ReadPayloadHeader(s.in);
  EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(s.ui.errorBoxes.size(), 1u);
  EXPECT_EQ(
      s.ui.errorBoxes[0].rfind("Installation Error: Problem using " + s.in.paths.installerPath, 0),
      0u);
}

class FixedEntries : public ::testing::Test {
 protected:
  ScratchInstall s;
  PayloadFileBuilder payload;
  void Prepare() {
    ASSERT_TRUE(payload.WriteTo(s.in.paths.tempCopyPath));
    s.in.header = payload.header;
  }
};

TEST_F(FixedEntries, BitmapPreviewIsWrittenAndRecordedAsBmp) {
  payload.header.displayMode = 1;
  payload.Add(3, "installer.scf", 5, "BMbitmap");
  Prepare();
  EXPECT_EQ(ExtractPreview(s.in), rc::kOk);
  EXPECT_EQ(s.in.header.entries[3].name, "installer.bmp");
  EXPECT_EQ(ReadWholeFile(s.in.paths.saverDir + "installer.bmp"), "BMbitmap");
  EXPECT_FALSE(FileExists(s.in.paths.saverDir + "installer.scf"));
  EXPECT_EQ(s.Manifest(0), s.in.paths.saverDir + "installer.bmp");
  EXPECT_EQ(s.ui.progressSteps, 0);
}

TEST_F(FixedEntries, MoviePreviewKeepsItsName) {
  payload.header.displayMode = 2;
  payload.Add(3, "installer.scf", 5, "FWS");
  Prepare();
  EXPECT_EQ(ExtractPreview(s.in), rc::kOk);
  EXPECT_EQ(ReadWholeFile(s.in.paths.saverDir + "installer.scf"), "FWS");
}

TEST_F(FixedEntries, WriteTheirEntriesToTheirFolders) {
  payload.Add(2, "flashax.exe", 3, "flash");
  payload.Add(4, "licence.txt", 5, "licence");
  payload.Add(5, "readme.txt", 5, "read me");
  Prepare();
  EXPECT_EQ(ExtractReadMe(s.in), rc::kOk);
  EXPECT_EQ(ExtractLicense(s.in), rc::kOk);
  EXPECT_EQ(ExtractFlashInstaller(s.in), rc::kOk);
  EXPECT_EQ(ReadWholeFile(s.in.paths.saverDir + "readme.txt"), "read me");
  EXPECT_EQ(ReadWholeFile(s.in.paths.saverDir + "licence.txt"), "licence");
  EXPECT_EQ(ReadWholeFile(s.in.paths.windowsDir + "flashax.exe"), "flash");
  EXPECT_EQ(s.Manifest(0), s.in.paths.saverDir + "readme.txt");
  EXPECT_EQ(s.Manifest(1), s.in.paths.saverDir + "licence.txt");
  EXPECT_EQ(s.Manifest(2), s.in.paths.windowsDir + "flashax.exe");
  EXPECT_TRUE(s.ui.errorBoxes.empty());
}

TEST_F(FixedEntries, UnnamedEntriesAreSkippedWithoutAWord) {
  // No temporary copy at all: nothing may even be opened.
  EXPECT_EQ(ExtractPreview(s.in), rc::kUnspecified);
  EXPECT_EQ(ExtractReadMe(s.in), rc::kUnspecified);
  EXPECT_EQ(ExtractLicense(s.in), rc::kUnspecified);
  EXPECT_EQ(ExtractFlashInstaller(s.in), rc::kUnspecified);
  EXPECT_TRUE(s.ui.errorBoxes.empty());
}

TEST_F(FixedEntries, AMissingCopyIsReportedWithTheSaverFolder) {
  payload.Add(4, "licence.txt", 5, "licence");
  s.in.header = payload.header;
  EXPECT_EQ(ExtractLicense(s.in), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(s.ui.errorBoxes.size(), 1u);
  EXPECT_EQ(s.ui.errorBoxes[0].rfind(
                "Installation Error: Problem using " + s.in.paths.saverDir + ". ", 0),
            0u);
}

class InstallFiles : public FixedEntries {};

TEST_F(InstallFiles, UnnamedProgramStopsTheInstallWithAnUnspecifiedError) {
  payload.Add(7, "further.txt", 5, "further");
  payload.Add(8, "meadow.ssd", 4, "data");
  Prepare();
  EXPECT_EQ(ExtractInstallFiles(s.in, s.in.paths.tempCopyPath), rc::kUnspecified);
  EXPECT_EQ(s.ui.errorBoxes, std::vector<std::string>{"Installation Error: Unspecified error."});
  EXPECT_FALSE(FileExists(s.in.paths.saverDir + "further.txt"));
  EXPECT_FALSE(FileExists(s.in.paths.saverDir + "meadow.ssd"));
  EXPECT_EQ(s.Manifest(0), s.in.paths.tempCopyPath);
  EXPECT_EQ(s.in.fileCounter, 1);
}

TEST_F(InstallFiles, WritesFromTheReadMeOnWithProgressAndRecordsEach) {
  payload.Add(5, "readme.txt", 5, "read me");
  payload.Add(6, "meadow.scr", 2, "program");
  payload.Add(7, "further.txt", 5, "further");
  payload.Add(8, "meadow.ssd", 4, "data");
  payload.Add(9, "saver1.dll", 5, "lib1");
  payload.Add(10, "saver2.dll", 5, "lib2");
  Prepare();
  ASSERT_EQ(ExtractReadMe(s.in), rc::kOk);
  s.in.readMeReady = true;
  EXPECT_EQ(ExtractInstallFiles(s.in, s.in.paths.tempCopyPath), rc::kOk);
  const std::string& saver = s.in.paths.saverDir;
  const std::vector<std::string> recorded = {
      saver + "readme.txt",  s.in.paths.tempCopyPath,
      saver + "readme.txt",  s.in.paths.windowsDir + "meadow.scr",
      saver + "further.txt", saver + "meadow.ssd",
      saver + "saver1.dll",  saver + "saver2.dll"};
  for (size_t key = 0; key < recorded.size(); ++key)
    EXPECT_EQ(s.Manifest(static_cast<int>(key)), recorded[key]) << key;
  EXPECT_EQ(s.in.fileCounter, 8);
  EXPECT_EQ(s.ui.progressSteps, 6);
  EXPECT_EQ(ReadWholeFile(saver + "saver2.dll"), "lib2");
  EXPECT_TRUE(s.ui.errorBoxes.empty());
}

TEST_F(InstallFiles, StopsAtTheFirstRefusedEntry) {
  payload.Add(6, "meadow.scr", 2, "program");
  payload.Add(7, "..\\escape.txt", 5, "evil");
  payload.Add(8, "meadow.ssd", 4, "data");
  Prepare();
  EXPECT_EQ(ExtractInstallFiles(s.in, s.in.paths.tempCopyPath), rc::kUnspecified);
  EXPECT_EQ(s.ui.errorBoxes, std::vector<std::string>{msg::BadEntryNameText(7, "..\\escape.txt")});
  EXPECT_TRUE(FileExists(s.in.paths.windowsDir + "meadow.scr"));
  EXPECT_FALSE(FileExists(s.in.paths.windowsDir + "escape.txt"));
  EXPECT_FALSE(FileExists(s.in.paths.saverDir + "meadow.ssd"));
}

TEST_F(InstallFiles, AManifestThatCannotRecordTheCopyStopsBeforeAnyEntry) {
  payload.Add(6, "meadow.scr", 2, "program");
  Prepare();
  // A folder where saver.ini belongs refuses every write.
  ASSERT_TRUE(CreateDirectoryA(s.in.paths.saverIniPath.c_str(), nullptr));
  const ResultCode result = ExtractInstallFiles(s.in, s.in.paths.tempCopyPath);
  EXPECT_GT(result, 0);
  ASSERT_EQ(s.ui.errorBoxes.size(), 1u);
  EXPECT_EQ(s.ui.errorBoxes[0].rfind(
                "Installation Error: Problem using " + s.in.paths.saverIniPath + ". ", 0),
            0u)
      << s.ui.errorBoxes[0];
  EXPECT_FALSE(FileExists(s.in.paths.windowsDir + "meadow.scr"));
  EXPECT_EQ(s.ui.progressSteps, 0);
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(InstallFiles, AMissingPayloadFileIsReportedWithItsPath) {
  const std::string path = s.root + "gone.dat";
  EXPECT_EQ(ExtractInstallFiles(s.in, path), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(s.ui.errorBoxes.size(), 1u);
  EXPECT_EQ(s.ui.errorBoxes[0].rfind("Installation Error: Problem using " + path + ". ", 0), 0u);
  EXPECT_EQ(s.in.fileCounter, 0);
}

}  // namespace
}  // namespace ssi::test
