// Writing one payload entry: destination by kind, clearing the way, stored
// bytes, the manifest record, and refusing entries that are damaged or hostile.
#include <windows.h>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "file_replace.h"
#include "messages.h"
#include "payload_test_support.h"

namespace ssi::test {
namespace {

class PayloadEntryTest : public ::testing::Test {
 protected:
  ScratchInstall s;
  PayloadFileBuilder payload;
  const std::string& windowsDir = s.in.paths.windowsDir;
  const std::string& saverDir = s.in.paths.saverDir;
  std::vector<std::string>& boxes = s.ui.errorBoxes;
};

TEST_F(PayloadEntryTest, StoredEntryIsWrittenAndRecorded) {
  ASSERT_TRUE(WriteWholeFile(saverDir + "readme.txt", "an older and longer read-me"));
  payload.Add(1, "impborl.dat", 3, "library");
  payload.Add(5, "readme.txt", 5, "read me");
  s.in.fileCounter = 4;
  EXPECT_EQ(s.Extract(payload, 5, true), rc::kOk);
  EXPECT_EQ(ReadWholeFile(saverDir + "readme.txt"), "read me");
  EXPECT_EQ(s.Manifest(4), saverDir + "readme.txt");
  EXPECT_EQ(s.in.fileCounter, 5);
  EXPECT_EQ(s.ui.statuses, std::vector<std::string>{msg::kWritingFiles});
  EXPECT_EQ(s.ui.progressSteps, 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PayloadEntryTest, OnlyTheFlagByteMarksCompression) {
  PayloadEntry& e = payload.Add(2, "flashax.exe", 3, "flash installer");
  e.padding = {1, 2, 3};
  EXPECT_EQ(s.Extract(payload, 2, false, false), rc::kOk);
  EXPECT_EQ(ReadWholeFile(windowsDir + "flashax.exe"), "flash installer");
  EXPECT_EQ(s.in.fileCounter, 0);
  EXPECT_EQ(s.Manifest(0), "");
  EXPECT_TRUE(s.ui.statuses.empty());
  EXPECT_EQ(s.ui.progressSteps, 0);
}

TEST_F(PayloadEntryTest, KindThreeNamesBecomeLibrariesExceptTheFlashInstaller) {
  const struct {
    const char* name;
    const char* written;
  } cases[] = {{"impborl.dat", "impborl.dll"},
               {"flashax.exe", "flashax.exe"},
               {"FLASHAX.EXE", "FLASHAX.dll"},
               {"impborl", "impborl.dll"}};
  for (const auto& c : cases) {
    PayloadFileBuilder p;
    p.Add(1, c.name, 3, c.name);
    EXPECT_EQ(s.Extract(p, 1), rc::kOk) << c.name;
    EXPECT_EQ(ReadWholeFile(windowsDir + c.written), c.name);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PayloadEntryTest, KindsChooseTheFolder) {
  for (int kind : {1, 4, 5, 6}) {
    PayloadFileBuilder p;
    const std::string name = "kind" + std::to_string(kind) + ".txt";
    p.Add(7, name, kind, "k");
    EXPECT_EQ(s.Extract(p, 7), rc::kOk);
    EXPECT_TRUE(FileExists(saverDir + name)) << kind;
  }
  PayloadFileBuilder p;
  p.Add(6, "meadow.scr", 2, "program");
  EXPECT_EQ(s.Extract(p, 6), rc::kOk);
  EXPECT_EQ(ReadWholeFile(windowsDir + "meadow.scr"), "program");
}

TEST_F(PayloadEntryTest, UnnamedEntryIsAnUnspecifiedError) {
  EXPECT_EQ(s.Extract(payload, 7, true), rc::kUnspecified);
  EXPECT_EQ(boxes, std::vector<std::string>{"Installation Error: Unspecified error."});
  EXPECT_EQ(s.ui.progressSteps, 0);
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(PayloadEntryTest, NamesWithFolderPartsAreRefusedBeforeAnythingIsTouched) {
  ASSERT_TRUE(WriteWholeFile(s.root + "victim.txt", "keep"));
  for (const char* name :
       {"..\\victim.txt", "..\\..\\victim.txt", "C:victim.txt", "a/b.txt", "..", "x\x01y.txt"}) {
    boxes.clear();
    PayloadFileBuilder p;
    p.Add(7, name, 5, "evil");
    EXPECT_EQ(s.Extract(p, 7, true), rc::kUnspecified) << name;
    EXPECT_EQ(boxes, std::vector<std::string>{msg::BadEntryNameText(7, name)});
  }
  EXPECT_EQ(ReadWholeFile(s.root + "victim.txt"), "keep");
  EXPECT_EQ(s.in.fileCounter, 0);
  EXPECT_EQ(s.ui.progressSteps, 0);
}

TEST_F(PayloadEntryTest, UnknownKindIsRefusedBeforeAnythingIsTouched) {
  for (int kind : {0, 7, 9, -1}) {
    boxes.clear();
    PayloadFileBuilder p;
    p.Add(7, "further.txt", kind, "x");
    EXPECT_EQ(s.Extract(p, 7), rc::kUnspecified);
    EXPECT_EQ(boxes, std::vector<std::string>{msg::BadEntryKindText(7, "further.txt", kind)});
  }
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(PayloadEntryTest, EmptyOrNegativeLengthTakesNoBuffer) {
  for (int32_t shortBy : {1, 2, 1000}) {
    boxes.clear();
    ASSERT_TRUE(WriteWholeFile(saverDir + "empty.txt", "old"));
    PayloadFileBuilder p;
    PayloadEntry& e = p.Add(7, "empty.txt", 5, "");
    e.endOffset = e.startOffset - shortBy;
    EXPECT_EQ(s.Extract(p, 7), rc::kNoBuffer) << shortBy;
    EXPECT_EQ(boxes, std::vector<std::string>{
                         msg::InstallErrorText(rc::kNoBuffer, saverDir + "empty.txt", "")});
    // The old file was cleared first, as for any entry.
    EXPECT_FALSE(FileExists(saverDir + "empty.txt"));
  }
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(PayloadEntryTest, EntriesReachingPastTheFileAreRefusedBeforeAnyBufferIsTaken) {
  const struct {
    int32_t start;
    int32_t end;
  } cases[] = {{0, 0x7FFFFFF0},  // would ask for 2 GB
               {-5, 10},
               {INT32_MIN, INT32_MAX},
               {0x7FFFFF00, 0x7FFFFFFF}};
  for (const auto& c : cases) {
    boxes.clear();
    PayloadFileBuilder p;
    PayloadEntry& e = p.Add(7, "big.txt", 5, "abc");
    e.startOffset = c.start;
    e.endOffset = c.end;
    EXPECT_EQ(s.Extract(p, 7), rc::kEntryShort) << c.start << ".." << c.end;
    EXPECT_EQ(boxes, std::vector<std::string>{
                         msg::InstallErrorText(rc::kEntryShort, saverDir + "big.txt", "")});
    EXPECT_FALSE(FileExists(saverDir + "big.txt"));
  }
}

TEST_F(PayloadEntryTest, EntryCutShortByTheFileEndIsShort) {
  PayloadEntry& e = payload.Add(7, "cut.txt", 5, "abcdef");
  e.endOffset += 1;
  EXPECT_EQ(s.Extract(payload, 7), rc::kEntryShort);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(PayloadEntryTest, AFileTheManifestCannotRecordIsRemovedAgain) {
  s.in.saverIni.emplace(s.root + "no such folder\\saver.ini");
  payload.Add(7, "further.txt", 5, "text");
  const ResultCode result = s.Extract(payload, 7);
  EXPECT_GT(result, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Installation Error: Problem using saverIni. \r\n\r\n", 0), 0u)
      << boxes[0];
  EXPECT_FALSE(FileExists(saverDir + "further.txt"));
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(PayloadEntryTest, ADestinationThatCannotBeCreatedIsReported) {
  ASSERT_TRUE(CreateDirectoryA((saverDir + "further.txt").c_str(), nullptr));
  payload.Add(7, "further.txt", 5, "text");
  const ResultCode result = s.Extract(payload, 7);
  EXPECT_GT(result, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Installation Error: Problem using " + saverDir + "further.txt. ", 0),
            0u);
  EXPECT_EQ(s.in.fileCounter, 0);
}

// The old file is held open by another process.
TEST_F(PayloadEntryTest, BusyLibraryStaysSilentlyAndIsRecorded) {
  ASSERT_TRUE(WriteWholeFile(saverDir + "saver1.dll", "old"));
  payload.Add(9, "saver1.dll", 5, "new");
  {
    HeldFile held(saverDir + "saver1.dll");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(s.Extract(payload, 9, true), rc::kOk);
  }
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(ReadWholeFile(saverDir + "saver1.dll"), "old");
  EXPECT_EQ(s.Manifest(0), saverDir + "saver1.dll");
}

TEST_F(PayloadEntryTest, BusyFileIsReportedOnceKeptAndRecorded) {
  // ".DLL" in capitals is no library to the check, so it gets the retries.
  for (const char* name : {"further.txt", "SAVER2.DLL"}) {
    boxes.clear();
    ASSERT_TRUE(WriteWholeFile(saverDir + name, "old"));
    PayloadFileBuilder p;
    p.Add(7, name, 5, "new");
    {
      HeldFile held(saverDir + name);
      ASSERT_TRUE(held.Holding());
      EXPECT_EQ(s.Extract(p, 7), rc::kOk);
    }
    EXPECT_EQ(boxes,
              std::vector<std::string>{msg::InstallErrorText(rc::kFileBusy, saverDir + name, "")});
    EXPECT_EQ(ReadWholeFile(saverDir + name), "old");
  }
  EXPECT_EQ(s.Manifest(0), saverDir + "further.txt");
  EXPECT_EQ(s.Manifest(1), saverDir + "SAVER2.DLL");
}

TEST_F(PayloadEntryTest, BusyScreenSaverProgramStopsTheInstall) {
  ASSERT_TRUE(WriteWholeFile(windowsDir + "Meadow.Scr", "old"));
  payload.Add(6, "Meadow.Scr", 2, "new");
  {
    HeldFile held(windowsDir + "Meadow.Scr");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(s.Extract(payload, 6, true), rc::kSaverBusy);
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Setup Error: Screen Saver file is busy.", 0), 0u);
  EXPECT_EQ(ReadWholeFile(windowsDir + "Meadow.Scr"), "old");
  EXPECT_EQ(s.in.fileCounter, 0);
}

}  // namespace
}  // namespace ssi::test
