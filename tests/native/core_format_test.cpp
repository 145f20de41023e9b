// The portable formats, path rules and message texts, checked against the
// documented example payload and the documented texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data_file_format.h"
#include "le_bytes.h"
#include "messages.h"
#include "path_rules.h"
#include "payload_format.h"

namespace ssi {
namespace {

// The example payload: a screen saver named meadow, a stub of 418304 bytes,
// an installer of 1442483 bytes.
struct ExampleRow {
  const char* name;
  int32_t start, end, kind;
  uint8_t compressed;
  int32_t stored, expanded;
};
constexpr int32_t kExampleStubSize = 418304;
constexpr int32_t kExampleFileSize = 1442483;
const ExampleRow kExample[kPayloadEntryCount] = {
    {"install.exe", 0, 418303, 6, 0, 0, 418304},
    {"impborl.dat", 421452, 433739, 3, 0, 0, 12288},
    {"flashax.exe", 433740, 791755, 3, 0, 0, 358016},
    {"installer.scf", 791756, 1215172, 5, 1, 423417, 471225},
    {"", 1215173, 1215173, 5, 1, 0, 0},
    {"", 1215173, 1215173, 5, 1, 0, 0},
    {"meadow.scr", 1215173, 1416991, 2, 1, 201819, 634880},
    {"further.bin", 1416992, 1418395, 5, 0, 0, 1404},
    {"meadow.ssd", 1418396, 1419923, 4, 0, 0, 1528},
    {"saver1.dll", 1419924, 1435025, 5, 1, 15102, 36864},
    {"saver2.dll", 1435026, 1442482, 5, 1, 7457, 18192},
};

PayloadHeader ExampleHeader() {
  PayloadHeader h;
  h.displayMode = 3;
  h.displayPropertiesFlag = 1;
  h.SetSaverName("meadow");
  for (size_t i = 0; i < kPayloadEntryCount; ++i) {
    const ExampleRow& r = kExample[i];
    PayloadEntry& e = h.entries[i];
    e.name = r.name;
    e.startOffset = r.start;
    e.endOffset = r.end;
    e.kind = r.kind;
    e.compressed = r.compressed;
    e.storedSize = r.stored;
    e.expandedSize = r.expanded;
  }
  return h;
}

TEST(PayloadFormat, ExampleHeaderRoundTripsEveryFieldAtItsOffset) {
  std::vector<uint8_t> bytes(kPayloadHeaderSize, 0xCC);
  SerializePayloadHeader(ExampleHeader(), bytes.data());
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(bytes[3], 1);
  EXPECT_EQ(std::memcmp(bytes.data() + 4, "meadow\0", 7), 0);
  for (size_t i = 0; i < kPayloadEntryCount; ++i) {
    SCOPED_TRACE(i);
    const ExampleRow& r = kExample[i];
    const uint8_t* raw = bytes.data() + 68 + i * 280;
    ASSERT_EQ(raw[0], std::strlen(r.name));
    EXPECT_EQ(std::memcmp(raw + 1, r.name, raw[0]), 0);
    EXPECT_EQ(ReadI32(raw + 256), r.start);
    EXPECT_EQ(ReadI32(raw + 260), r.end);
    EXPECT_EQ(ReadI32(raw + 264), r.kind);
    EXPECT_EQ(raw[268], r.compressed);
    EXPECT_EQ(ReadI32(raw + 272), r.stored);
    EXPECT_EQ(ReadI32(raw + 276), r.expanded);
  }

  const PayloadHeader back = ParsePayloadHeader(bytes.data());
  EXPECT_EQ(back.displayMode, 3);
  EXPECT_EQ(back.licenceFlag, 0);
  EXPECT_EQ(back.readMeFlag, 0);
  EXPECT_EQ(back.displayPropertiesFlag, 1);
  EXPECT_EQ(back.SaverName(), "meadow");
  for (size_t i = 0; i < kPayloadEntryCount; ++i) {
    SCOPED_TRACE(i);
    const ExampleRow& r = kExample[i];
    const PayloadEntry& e = back.entries[i];
    EXPECT_EQ(e.name, r.name);
    EXPECT_EQ(e.IsEmpty(), std::strlen(r.name) == 0);
    EXPECT_EQ(e.startOffset, r.start);
    EXPECT_EQ(e.endOffset, r.end);
    EXPECT_EQ(e.kind, r.kind);
    EXPECT_EQ(e.compressed, r.compressed);
    EXPECT_EQ(e.storedSize, r.stored);
    EXPECT_EQ(e.expandedSize, r.expanded);
  }
}

TEST(PayloadFormat, ExampleTableFollowsTheLayoutRules) {
  const PayloadHeader h = ExampleHeader();
  const PayloadEntry& stub = h.entries[entry::kStub];
  EXPECT_EQ(stub.Length(), kExampleStubSize);
  EXPECT_EQ(stub.expandedSize, kExampleStubSize);
  int64_t next = kExampleStubSize + static_cast<int64_t>(kPayloadHeaderSize);
  EXPECT_EQ(h.entries[1].startOffset, next);
  for (size_t i = 1; i < kPayloadEntryCount; ++i) {
    SCOPED_TRACE(i);
    const PayloadEntry& e = h.entries[i];
    if (e.IsEmpty()) {
      EXPECT_EQ(e.startOffset, e.endOffset);
      continue;
    }
    EXPECT_EQ(e.startOffset, next);
    EXPECT_EQ(e.storedSize, e.compressed != 0 ? e.Length() : 0);
    if (e.compressed == 0) {
      EXPECT_EQ(e.expandedSize, e.Length());
    }
    next = e.endOffset + int64_t{1};
  }
  EXPECT_EQ(next, kExampleFileSize);
  EXPECT_EQ(h.entries[4].startOffset, h.entries[6].startOffset);
}

TEST(PayloadFormat, FlagIsOneByteAndTheBytesAfterItRoundTrip) {
  // Entry 2 of the example: Compressed 0 with non-zero bytes behind it is stored.
  uint8_t raw[kPayloadEntrySize] = {};
  raw[268] = 0;
  raw[269] = 0x12;
  raw[270] = 0x34;
  raw[271] = 0x56;
  const PayloadEntry e = ParsePayloadEntry(raw);
  EXPECT_EQ(e.compressed, 0);
  uint8_t again[kPayloadEntrySize];
  SerializePayloadEntry(e, again);
  EXPECT_EQ(std::memcmp(raw, again, kPayloadEntrySize), 0);
}

TEST(PayloadFormat, NameFieldEndsAtNulOrFieldEndAndHostileOffsetsDoNotOverflow) {
  PayloadHeader h;
  h.SetSaverName(std::string(70, 'n'));
  EXPECT_EQ(h.SaverName(), std::string(64, 'n'));
  h.SetSaverName("a");
  h.nameField[5] = 'x';  // bytes after the NUL are ignored
  EXPECT_EQ(h.SaverName(), "a");

  PayloadEntry e;
  e.startOffset = INT32_MIN;
  e.endOffset = INT32_MAX;
  EXPECT_EQ(e.Length(), int64_t{INT32_MAX} - INT32_MIN + 1);
  e.startOffset = 10;
  e.endOffset = 9;
  EXPECT_EQ(e.Length(), 0);
}

TEST(DataFileFormat, FieldsSitWhereTheLayoutSays) {
  SettingsRecord s;
  s.SetChunkCount(108);
  s.SetFirstChunkKind(3);
  EXPECT_EQ(ReadI32(s.bytes.data() + 212), 108);
  EXPECT_EQ(ReadI32(s.bytes.data() + 1192), 3);

  ChunkEntry e;
  e.kind = 3;
  e.name = std::string(300, 'c');  // only 255 characters fit before the NUL
  e.chunkOffset = 0x01020304;
  uint8_t raw[kChunkEntrySize];
  SerializeChunkEntry(e, raw);
  EXPECT_EQ(raw[0], 3);
  EXPECT_EQ(raw[2 + 255], 0);
  EXPECT_EQ(ReadI32(raw + 260), 0x01020304);
  const ChunkEntry back = ParseChunkEntry(raw);
  EXPECT_EQ(back.name, std::string(255, 'c'));

  ChunkHeader h;
  h.kind = 7;
  h.expandedSize = 1000;
  h.storedSize = 400;
  h.compressed = 1;
  uint8_t hraw[kChunkHeaderSize];
  SerializeChunkHeader(h, hraw);
  EXPECT_EQ(std::memcmp(hraw, "CHUN", 4), 0);
  EXPECT_EQ(hraw[4], 7);
  EXPECT_EQ(ReadI32(hraw + 8), 1000);
  EXPECT_EQ(ReadI32(hraw + 12), 400);
  EXPECT_EQ(ReadI32(hraw + 16), 1);
  const ChunkHeader hback = ParseChunkHeader(hraw);
  EXPECT_EQ(hback.expandedSize, 1000);
  EXPECT_EQ(hback.storedSize, 400);
}

TEST(PathRules, ExtensionIsTakenAfterTheLastSeparator) {
  EXPECT_EQ(PathExtension("meadow.scr"), ".scr");
  EXPECT_EQ(PathExtension("archive.tar.gz"), ".gz");
  EXPECT_EQ(PathExtension("C:\\dir.d\\file"), "");
  EXPECT_EQ(PathExtension("C:file.txt"), ".txt");
  EXPECT_EQ(PathExtension("a.b:stream"), "");
  EXPECT_EQ(PathExtension("noext"), "");
  EXPECT_EQ(PathExtension("trailing."), ".");
  EXPECT_EQ(PathExtension(".hidden"), ".hidden");
  EXPECT_EQ(ReplaceExtension("installer.scf", ".bmp"), "installer.bmp");
  EXPECT_EQ(ReplaceExtension("dir.d\\file", ".dll"), "dir.d\\file.dll");
}

TEST(PathRules, KindThreeKeepsOnlyTheExactFlashInstallerName) {
  const std::string win = "C:\\WINDOWS\\";
  const std::string saver = "C:\\WINDOWS\\meadow dir\\";
  EXPECT_EQ(EntryDestination(3, "impborl.dat", win, saver), win + "impborl.dll");
  EXPECT_EQ(EntryDestination(3, "flashax.exe", win, saver), win + "flashax.exe");
  EXPECT_EQ(EntryDestination(3, "FLASHAX.EXE", win, saver), win + "FLASHAX.dll");
  EXPECT_EQ(EntryDestination(3, "Flashax.exe", win, saver), win + "Flashax.dll");
  EXPECT_EQ(EntryDestination(3, "impborl", win, saver), win + "impborl.dll");
  EXPECT_EQ(EntryDestination(3, "lib.tar.gz", win, saver), win + "lib.tar.dll");
  EXPECT_EQ(EntryDestination(2, "meadow.scr", win, saver), win + "meadow.scr");
  for (int32_t kind : {1, 4, 5, 6})
    EXPECT_EQ(EntryDestination(kind, "x.bin", win, saver), saver + "x.bin");
  for (int32_t kind : {0, 7, -1, INT32_MAX})
    EXPECT_FALSE(EntryDestination(kind, "x.bin", win, saver));
}

TEST(PathRules, BitmapPreviewNameIsCutTo255) {
  EXPECT_EQ(PreviewBitmapName("installer.scf"), "installer.bmp");
  EXPECT_EQ(PreviewBitmapName("movie"), "movie.bmp");
  const std::string longNoDot(253, 'm');
  const std::string cut = PreviewBitmapName(longNoDot);
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(cut, longNoDot + ".b");
  // One longer, the cut would leave a bare dot: a name Windows does not keep.
  const std::string cutToTheDot(254, 'm');
  EXPECT_EQ(PreviewBitmapName(cutToTheDot), cutToTheDot);
  const std::string longWithDot = std::string(250, 'm') + ".swf";
  EXPECT_EQ(PreviewBitmapName(longWithDot), std::string(250, 'm') + ".bmp");
}

TEST(PathRules, FileAndFolderParts) {
  EXPECT_EQ(FileNamePart("sub\\dir\\a.swf"), "a.swf");
  EXPECT_EQ(FileNamePart("C:a.swf"), "a.swf");
  EXPECT_EQ(FileNamePart("sub/a.swf"), "sub/a.swf");  // only "\" and ":" separate
  EXPECT_EQ(FileNamePart("dir\\"), "");
  EXPECT_EQ(FolderPart("C:\\WINDOWS\\meadow dir\\a.swf"), "C:\\WINDOWS\\meadow dir\\");
  EXPECT_EQ(FolderPart("a.swf"), "");
  EXPECT_EQ(WithTrailingBackslash("C:\\"), "C:\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\WINDOWS"), "C:\\WINDOWS\\");
  EXPECT_EQ(AsciiLower("MEADOW.SCR\xC4"), "meadow.scr\xC4");
}

TEST(PathRules, PlainFileNames) {
  for (const char* good : {"a", "meadow.scr", "a b.txt", "x.y", "\xE4pfel.swf", "...a"})
    EXPECT_TRUE(IsPlainFileName(good)) << good;
  for (const char* bad :
       {"",     ".",        "..",   "...",  "..\\x",       "a\\b",       "a/b",
        "C:x",  "a:stream", "a\tb", "\x7F", "CON",         "nul.txt",    "Com1.dll",
        "lpt9", "aux .bmp", " ",    ". .",  "meadow.scr.", "meadow.scr "})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

TEST(PathRules, SaverNamesMustBeFolderNames) {
  for (const char* good : {"", "meadow", "Sunny Meadow", "v1.2", "\xC4rger"})
    EXPECT_TRUE(IsValidSaverName(good)) << good;
  for (const char* bad :
       {".", "..", "...", "a\\b", "a/b", "a:b", "a*", "a?", "a\"", "a<", "a>", "a|", "a\nb"})
    EXPECT_FALSE(IsValidSaverName(bad)) << bad;
}

// Windows opens the device for any of these names, whatever the extension or
// case, so every rule that admits a name must refuse them; near misses stay
// plain names. The superscripts are bytes B9, B2 and B3 of the ANSI code page.
TEST(PathRules, DeviceNamesAreRefusedByEveryRule) {
  for (const char* device :
       {"CON", "nul.txt", "Prn.dll", "aux .bmp", "COM0", "com9.scr", "LPT0", "lpt5.swf", "COM\xB9",
        "com\xB2.txt", "Lpt\xB3", "LPT\xB9.dll", "COM\xC2\xB9", "lpt\xC2\xB3.txt", "lpt\xB2 .x",
        "CONIN$", "conout$.log", "ConIn$.a.b"}) {
    EXPECT_FALSE(IsPlainFileName(device)) << device;
    EXPECT_FALSE(IsValidSaverName(device)) << device;
    EXPECT_FALSE(IsContainedRelativePath(std::string("sub\\") + device)) << device;
    EXPECT_FALSE(IsContainedRelativePath(std::string(device) + "\\a.swf")) << device;
  }
  for (const char* name : {"COM10", "com", "lpt", "com\xB4", "lpt\xB9x", "comA.txt", "con$",
                           "com\xC2"
                           "1",
                           "com\xC2\xB4", "conin", "xcon", "nul_.txt",
                           "\xB9"
                           "com"}) {
    EXPECT_TRUE(IsPlainFileName(name)) << name;
    EXPECT_TRUE(IsValidSaverName(name)) << name;
    EXPECT_TRUE(IsContainedRelativePath(std::string("sub\\") + name)) << name;
  }
}

TEST(PathRules, ContainedRelativePaths) {
  for (const char* good : {"a.swf", "sub\\a.swf", "sub/a.swf", "a..b"})
    EXPECT_TRUE(IsContainedRelativePath(good)) << good;
  for (const char* bad : {"", "\\a", "/a", "C:a", "a:b", "..", "..\\a", "a\\..\\b", ".\\a",
                          "a\\\\b", "a\\", "a/./b", "a\x01", ". .\\a", "sub \\a", "a.swf."})
    EXPECT_FALSE(IsContainedRelativePath(bad)) << bad;
}

// The texts the user sees, byte for byte as documented.
TEST(Messages, InstallErrorTexts) {
  EXPECT_EQ(msg::InstallErrorText(rc::kSaverBusy, "ignored", "sys"),
            "Setup Error: Screen Saver file is busy.\r\n\r\n"
            "Please close the screen saver control panel and try again.");
  EXPECT_EQ(msg::InstallErrorText(rc::kFileBusy, "C:\\WINDOWS\\a.dat", "sys"),
            "Installation Error: \r\n\r\nFile C:\\WINDOWS\\a.dat is busy and cannot be replaced. "
            "Please close any other application that may be using this file and try again.");
  EXPECT_EQ(msg::InstallErrorText(rc::kUnspecified, "x", "sys"),
            "Installation Error: Unspecified error.");
  EXPECT_EQ(msg::InstallErrorText(rc::kNoBuffer, "C:\\p", ""),
            "Installation Error: Problem using C:\\p. \r\n\r\n");
  EXPECT_EQ(msg::InstallErrorText(5, "", "Access is denied."),
            "Installation Error: Problem using . \r\n\r\nAccess is denied.");
}

TEST(Messages, SharedAndStepTexts) {
  EXPECT_EQ(msg::WithSystemText("text", "sys"), "text\r\n\r\nsys");
  EXPECT_EQ(msg::LastErrorText(5, "sys"), "VL Error: 5\r\n\r\nsys");
  EXPECT_EQ(msg::CopySelfFailedText("C:\\in.exe", "C:\\WINDOWS\\TEMP\\VLF temp\\temp1.dat"),
            "Build Error: Problem copying C:\\in.exe to C:\\WINDOWS\\TEMP\\VLF temp\\temp1.dat. ");
  EXPECT_EQ(msg::DataFileOpenErrorText(100),
            "Screen Saver Error: Problem opening screen saver data file:\r\n100");
  EXPECT_EQ(msg::ChunkReadErrorText("sys"),
            "Screen Saver Error: Problem reading a chunk of the screen saver data file:\r\nsys");
  EXPECT_EQ(msg::DataFileCloseErrorText("sys"), "Vellora I/0 Error: Problem closing file:\r\nsys");
  EXPECT_STREQ(msg::kDataFileInUse, "Screen Saver data file already in use.");
  EXPECT_STREQ(msg::kExpandErrorPrefix, "Zip Error: Problem expanding file in memory.");
  EXPECT_STREQ(msg::kCompressionLibraryWarning,
               "System experiencing problem using compression library. Application will attempt to "
               "continue with compression disabled.");
  EXPECT_STREQ(msg::kErrorTitle, "Error");
  EXPECT_STREQ(msg::kInformationTitle, "Information");
  EXPECT_STREQ(msg::kAbortButton, "&Abort");
  EXPECT_STREQ(msg::kWritingFiles, "Writing screen saver files...");
  EXPECT_STREQ(msg::kWritingSettings, "Writing Settings File...");
}

TEST(Messages, WindowAndStatusTexts) {
  EXPECT_STREQ(msg::kApplicationTitle, "Install");
  EXPECT_EQ(msg::ApplicationTitleFor("meadow"), "Install meadow");
  EXPECT_STREQ(msg::kDesignCaption, "Vellora Installer");
  EXPECT_STREQ(msg::kInstallCaption, "&Install");
  EXPECT_STREQ(msg::kInstallCaptionPlain, "Install");
  EXPECT_STREQ(msg::kAcceptAndInstallCaption, "Accept and Install");
  EXPECT_STREQ(msg::kDeclineCaption, "&Decline");
  EXPECT_STREQ(msg::kPreparing, "Preparing for installation...");
  EXPECT_STREQ(msg::kExpandingFiles, "Expanding files...");
  EXPECT_STREQ(msg::kOpeningDisplayProperties, "Opening Display Properties control panel...");
  EXPECT_STREQ(msg::kInstallComplete, "Screen Saver Installation and Setup Complete.");
  EXPECT_EQ(msg::FailedStatus(rc::kSaverBusy),
            "Installation Failed. Close Screen Saver control panel and try again.");
  EXPECT_EQ(msg::FailedStatus(rc::kScreenSaverRefused),
            "Installation Failed. Please try again with new copy of the installer.");
  EXPECT_EQ(msg::FailedStatus(rc::kEntryShort), "Installation Failed.");
}

}  // namespace
}  // namespace ssi
