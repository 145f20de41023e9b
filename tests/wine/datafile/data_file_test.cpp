// The screen saver data file split into its chunk files: what is written
// where, what the manifest records, and how damaged files are refused.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data_file_fixture.h"
#include "system_text.h"

namespace ssi::test {
namespace {

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

// The boxes' texts, written out here rather than taken from the product's
// message builders, so that a fault in a builder shows.
std::string DamagedDataFile(const std::string& detail) {
  return "Screen Saver Error: The screen saver data file is damaged.\r\n\r\n" + detail;
}
std::string BadChunkName(const std::string& name) {
  return DamagedDataFile("The chunk name \"" + name + "\" would leave the screen saver's folder.");
}
std::string ProblemUsing(const std::string& file, DWORD error) {
  return "Installation Error: Problem using " + file + ". \r\n\r\n" +
         SystemErrorText(static_cast<ResultCode>(error));
}

TEST_F(DataFileTest, NoChunksOpensAndClosesAndMarksSaverDirForArchive) {
  SetFileAttributesA(in.paths.saverDir.c_str(), FILE_ATTRIBUTE_HIDDEN);
  DataFileBuilder builder;
  EXPECT_EQ(Expand(builder), 0);
  EXPECT_FALSE(DataFileOf(in).IsOpen());
  EXPECT_EQ(FilesIn(in.paths.saverDir), (Names{"meadow.ssd", "saver.ini"}));
  EXPECT_EQ(in.fileCounter, 1);
  // With no first chunk the archive step falls on SaverDir itself and keeps
  // its other attributes. (Wine keeps no archive bit on folders, so the bit
  // itself is not checked.)
  const DWORD attributes = GetFileAttributesA(in.paths.saverDir.c_str());
  EXPECT_EQ(attributes & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN});
  EXPECT_TRUE(ui.errorBoxes.empty());
  // The data file was closed: it can be deleted now.
  EXPECT_TRUE(DeleteFileA(in.paths.dataFilePath.c_str()));
}

TEST_F(DataFileTest, UnopenableDataFileFailsWithoutABox) {
  EXPECT_EQ(ExpandDataFile(in), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(ui.errorBoxes.empty());
  EXPECT_FALSE(DataFileOf(in).IsOpen());
}

TEST_F(DataFileTest, StoredChunksAreWrittenAndRecordedInOrder) {
  DataFileBuilder builder;
  builder.Stored("", "skipped");
  builder.Stored("movie.swf", "FWS movie bytes");
  builder.Stored("movies\\deep:clip.swf", "clip");  // only the last part is kept
  builder.Stored("nothing.txt", "").header.expandedSize = 0;
  EXPECT_EQ(Expand(builder), 0);
  EXPECT_EQ(FilesIn(in.paths.saverDir),
            (Names{"clip.swf", "meadow.ssd", "movie.swf", "saver.ini"}));
  EXPECT_EQ(ReadWholeFile(InSaverDir("movie.swf")), "FWS movie bytes");
  EXPECT_EQ(ReadWholeFile(InSaverDir("clip.swf")), "clip");
  // The empty name leaves no record; the empty chunk leaves no file but a record.
  EXPECT_EQ(Manifest(1), InSaverDir("movie.swf"));
  EXPECT_EQ(Manifest(2), InSaverDir("clip.swf"));
  EXPECT_EQ(Manifest(3), InSaverDir("nothing.txt"));
  EXPECT_EQ(Manifest(4), "<none>");
  EXPECT_EQ(in.fileCounter, 4);
  EXPECT_FALSE(DataFileOf(in).IsOpen());
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(DataFileTest, FirstChunkKindThreeCopiesThePreviewMovie) {
  ASSERT_TRUE(WriteWholeFile(InSaverDir("installer.scf"), "preview movie"));
  DataFileBuilder builder;
  builder.settings.SetFirstChunkKind(3);
  // Its header is never read, so a chunk that points nowhere does no harm.
  builder.Stored("saver.swf", "never read").entry.chunkOffset = 0x7FFFFFF0;
  builder.chunks.back().hasChunk = false;
  builder.Copy("again.swf");  // later copies take the first entry's file
  EXPECT_EQ(Expand(builder), 0);
  EXPECT_EQ(ReadWholeFile(InSaverDir("saver.swf")), "preview movie");
  EXPECT_EQ(ReadWholeFile(InSaverDir("again.swf")), "preview movie");
  EXPECT_EQ(Manifest(1), "<none>");  // copies are not recorded
  EXPECT_EQ(in.fileCounter, 1);
}

TEST_F(DataFileTest, FirstChunkKindThreeWithoutThePreviewFails) {
  DataFileBuilder builder;
  builder.settings.SetFirstChunkKind(3);
  builder.Stored("saver.swf", "data");
  EXPECT_EQ(Expand(builder), -1);
  EXPECT_FALSE(Exists(InSaverDir("saver.swf")));
  EXPECT_TRUE(ui.errorBoxes.empty());
  EXPECT_TRUE(DataFileOf(in).IsOpen());  // left open after a failure
}

TEST_F(DataFileTest, LaterCopyDuplicatesTheFirstChunkUnderItsWholeName) {
  ASSERT_TRUE(CreateDirectoryA(InSaverDir("sub").c_str(), nullptr));
  DataFileBuilder builder;
  builder.Stored("movie.swf", "first chunk");
  builder.Copy("sub\\copy.swf");
  builder.Stored("after.txt", "after");
  EXPECT_EQ(Expand(builder), 0);
  EXPECT_EQ(ReadWholeFile(InSaverDir("sub\\copy.swf")), "first chunk");
  EXPECT_EQ(Manifest(1), InSaverDir("movie.swf"));
  EXPECT_EQ(Manifest(2), InSaverDir("after.txt"));
}

TEST_F(DataFileTest, LaterCopyWithoutAFirstNameFailsWithoutABox) {
  DataFileBuilder builder;
  builder.Stored("", "skipped");
  builder.Copy("copy.swf");  // its source would be SaverDir itself
  EXPECT_EQ(Expand(builder), -1);
  EXPECT_FALSE(Exists(InSaverDir("copy.swf")));
  EXPECT_TRUE(ui.errorBoxes.empty());
  EXPECT_EQ(Manifest(1), "<none>");
}

TEST_F(DataFileTest, StoredChunkPastTheEndIsDeletedButRecorded) {
  DataFileBuilder builder;
  builder.Stored("ok.txt", "fine");
  builder.Stored("cut.bin", "only a little").header.expandedSize = 5000;
  builder.Stored("never.txt", "not reached");
  const std::string file = builder.Build();
  // The last chunk is dropped, so cut.bin's data runs past the end.
  const size_t cut = file.size() - (kChunkHeaderSize + std::string("not reached").size());
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, file.substr(0, cut)));
  ASSERT_EQ(ReadSettingsRecord(in), 0);
  EXPECT_EQ(ExpandDataFile(in), 100);
  ASSERT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_EQ(ui.errorBoxes[0],
            "Screen Saver Error: Problem reading a chunk of the screen saver data file:\r\n" +
                SystemErrorText(100));
  EXPECT_EQ(FilesIn(in.paths.saverDir), (Names{"meadow.ssd", "ok.txt", "saver.ini"}));
  EXPECT_EQ(Manifest(1), InSaverDir("ok.txt"));
  EXPECT_EQ(Manifest(2), InSaverDir("cut.bin"));
  EXPECT_EQ(Manifest(3), "<none>");
}

TEST_F(DataFileTest, HostileSizesAreRefusedBeforeAnyBufferIsTaken) {
  for (const int32_t size : {0x7FFFFFFF, 0x40000000}) {
    DataFileBuilder builder;
    builder.Stored("huge.bin", "tiny").header.expandedSize = size;
    EXPECT_EQ(Expand(builder), 100) << size;
    EXPECT_FALSE(Exists(InSaverDir("huge.bin")));
    ASSERT_EQ(DataFileOf(in).CloseDataFile(ui), 0);
  }
  DataFileBuilder compressed;
  compressed.Compressed("huge.bin", 10, "tiny").header.storedSize = 0x7FFFFFFF;
  EXPECT_EQ(Expand(compressed), 100);
  EXPECT_EQ(ui.errorBoxes.size(), 3u);
}

TEST_F(DataFileTest, CompressedChunkWithNothingStoredGivesNoBuffer) {
  DataFileBuilder builder;
  builder.Compressed("packed.bin", 100, "");
  EXPECT_EQ(Expand(builder), -7);
  EXPECT_FALSE(Exists(InSaverDir("packed.bin")));
  EXPECT_EQ(Manifest(1), InSaverDir("packed.bin"));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(DataFileTest, ChunkIndexOutsideTheDirectoryRecordsAnEmptyValue) {
  DataFileBuilder builder;
  builder.Stored("one.txt", "1");
  builder.Stored("two.txt", "2");
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, builder.Build()));
  DataFileReader& reader = DataFileOf(in);
  const SaverIni& ini = *in.saverIni;
  uint8_t kind = 99;
  // Nothing open yet: the reader's record is all zero, so every index is too high.
  EXPECT_EQ(reader.ExtractChunk(ui, in.paths.saverDir, 1, false, kind, &ini, in.fileCounter), -12);
  ASSERT_EQ(reader.OpenDataFile(ui, in.paths.dataFilePath, true), 0);
  for (const int32_t index : {3, 0, -5, 109, 0x7FFFFFFF}) {
    kind = 99;
    EXPECT_EQ(reader.ExtractChunk(ui, in.paths.saverDir, index, false, kind, &ini, in.fileCounter),
              -12)
        << index;
    EXPECT_EQ(kind, 0);
  }
  EXPECT_EQ(reader.ExtractChunk(ui, in.paths.saverDir, 2, false, kind, &ini, in.fileCounter), 0);
  EXPECT_EQ(kind, 7);  // the chunk header's kind, handed back on request
  for (int key = 1; key <= 6; ++key) EXPECT_EQ(Manifest(key), "") << key;
  EXPECT_EQ(Manifest(7), InSaverDir("two.txt"));
  ASSERT_EQ(reader.CloseDataFile(ui), 0);
  EXPECT_EQ(reader.ExtractChunk(ui, in.paths.saverDir, 1, false, kind, &ini, in.fileCounter), -15);
  EXPECT_EQ(reader.CloseDataFile(ui), 0);
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(DataFileTest, SecondOpenKeepsTheFirstFileAndSaysSo) {
  DataFileBuilder first;
  first.Stored("first.txt", "1");
  DataFileBuilder second;
  second.Stored("second.txt", "2");
  second.Stored("third.txt", "3");
  const std::string other = InSaverDir("other.ssd");
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, first.Build()));
  ASSERT_TRUE(WriteWholeFile(other, second.Build()));
  DataFileReader& reader = DataFileOf(in);
  ASSERT_EQ(reader.OpenDataFile(ui, in.paths.dataFilePath, true), 0);
  EXPECT_EQ(reader.OpenDataFile(ui, other, true), 0);
  EXPECT_EQ(ui.informationBoxes, (Names{"Screen Saver data file already in use."}));
  EXPECT_TRUE(ui.errorBoxes.empty());
  EXPECT_EQ(reader.Settings().ChunkCount(), 1);
  EXPECT_EQ(reader.Slot(1).name, "first.txt");
  EXPECT_EQ(reader.Slot(2).name, "");
  EXPECT_EQ(reader.CloseDataFile(ui), 0);
}

TEST_F(DataFileTest, OpenFailuresAreReportedOnlyWhenAsked) {
  DataFileReader& reader = DataFileOf(in);
  EXPECT_EQ(reader.OpenDataFile(ui, InSaverDir("missing.ssd"), false), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(ui.errorBoxes.empty());
  EXPECT_EQ(reader.OpenDataFile(ui, InSaverDir("missing.ssd"), true), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ui.errorBoxes,
            (Names{"Screen Saver Error: Problem opening screen saver data file:\r\n2"}));
  // A directory cut short after its settings record: open, but the read fails.
  DataFileBuilder builder;
  builder.Stored("a.txt", "a");
  ASSERT_TRUE(
      WriteWholeFile(in.paths.dataFilePath, builder.Build().substr(0, kSettingsRecordSize + 100)));
  EXPECT_EQ(reader.OpenDataFile(ui, in.paths.dataFilePath, true), 100);
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(reader.CloseDataFile(ui), 0);
}

TEST_F(DataFileTest, ChunkCountsOutsideTheDirectoryAreRefused) {
  for (const int32_t count : {109, 100000, -1}) {
    DataFileBuilder builder;
    builder.Stored("a.txt", "a");
    builder.chunkCount = count;
    ui.errorBoxes.clear();
    EXPECT_EQ(Expand(builder), -1) << count;
    EXPECT_EQ(ui.errorBoxes, (Names{DamagedDataFile("It declares " + std::to_string(count) +
                                                    " chunks; at most 108 are allowed.")}));
    EXPECT_FALSE(Exists(InSaverDir("a.txt")));
    EXPECT_EQ(DataFileOf(in).Slot(1).name, "");
    uint8_t kind = 0;
    EXPECT_EQ(DataFileOf(in).ExtractChunk(ui, in.paths.saverDir, 108, true, kind, nullptr,
                                          in.fileCounter),
              -12);
    ASSERT_EQ(DataFileOf(in).CloseDataFile(ui), 0);
  }
}

// Names that would put a file outside SaverDir, or name no file at all.
TEST_F(DataFileTest, HostileNamesAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    bool copy;
    std::string name;
  };
  const std::vector<Case> cases = {
      {false, ".."},
      {false, "sub\\."},
      {false, "dir\\"},
      {false, "a/../../x.txt"},
      {true, "..\\escape.txt"},
      {true, "\\escape.txt"},
      {true, "C:\\escape.txt"},
      {true, "sub\\..\\..\\x"},
      {true, "d:escape.txt"},
      // Devices, also under the superscript digits of the ANSI code page.
      {false, "LPT\xB9.swf"},
      {false, "com\xB2"},
      {false, "sub\\Com\xB3.txt"},
      {true, "sub\\COM0.swf"},
      {true, "conin$.log"},
  };
  for (const Case& c : cases) {
    DataFileBuilder builder;
    builder.Stored("first.txt", "first");
    if (c.copy) {
      builder.Copy(c.name);
    } else {
      builder.Stored(c.name, "bad");
    }
    ui.errorBoxes.clear();
    EXPECT_EQ(Expand(builder), -1) << c.name;
    EXPECT_EQ(ui.errorBoxes, (Names{BadChunkName(c.name)})) << c.name;
    EXPECT_EQ(FilesIn(in.paths.saverDir), (Names{"meadow.ssd", "saver.ini"})) << c.name;
    ASSERT_EQ(DataFileOf(in).CloseDataFile(ui), 0);
  }
}

TEST_F(DataFileTest, CopySourceMustStayInsideToo) {
  // The first chunk itself is extracted under its last part, but a copy
  // would take its whole name as the source.
  DataFileBuilder builder;
  builder.Stored("..\\..\\secret.txt", "first");
  builder.Copy("leak.txt");
  EXPECT_EQ(Expand(builder), -1);
  EXPECT_EQ(ui.errorBoxes, (Names{BadChunkName("..\\..\\secret.txt")}));
  EXPECT_FALSE(Exists(InSaverDir("leak.txt")));
  EXPECT_FALSE(Exists(InSaverDir("secret.txt")));
}

TEST_F(DataFileTest, ExtractChunkRefusesANameWithoutAFile) {
  DataFileBuilder builder;
  builder.Stored("folder\\", "x");
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, builder.Build()));
  ASSERT_EQ(DataFileOf(in).OpenDataFile(ui, in.paths.dataFilePath, true), 0);
  uint8_t kind = 0;
  EXPECT_EQ(DataFileOf(in).ExtractChunk(ui, in.paths.saverDir, 1, true, kind, &*in.saverIni,
                                        in.fileCounter),
            -1);
  EXPECT_EQ(ui.errorBoxes, (Names{BadChunkName("folder\\")}));
  EXPECT_EQ(Manifest(1), "");
  EXPECT_EQ(DataFileOf(in).CloseDataFile(ui), 0);
}

TEST_F(DataFileTest, MissingChunkFolderIsCreatedAndRecordedOnce) {
  DataFileBuilder builder;
  builder.Stored("a.txt", "a");
  builder.Stored("b.txt", "b");
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, builder.Build()));
  ASSERT_EQ(DataFileOf(in).OpenDataFile(ui, in.paths.dataFilePath, true), 0);
  const std::string dest = InSaverDir("chunks\\");
  uint8_t kind = 0;
  EXPECT_EQ(DataFileOf(in).ExtractChunk(ui, dest, 1, true, kind, &*in.saverIni, in.fileCounter), 0);
  EXPECT_EQ(DataFileOf(in).ExtractChunk(ui, dest, 2, true, kind, &*in.saverIni, in.fileCounter), 0);
  EXPECT_EQ(Manifest(1), dest);
  EXPECT_EQ(Manifest(2), dest + "a.txt");
  EXPECT_EQ(Manifest(3), dest + "b.txt");
  EXPECT_EQ(ReadWholeFile(dest + "b.txt"), "b");
  // A folder that cannot be made: the folder is still recorded, and the
  // write into it then fails with the chunk box.
  const std::string impossible = InSaverDir("no\\such\\");
  EXPECT_NE(
      DataFileOf(in).ExtractChunk(ui, impossible, 1, true, kind, &*in.saverIni, in.fileCounter), 0);
  EXPECT_EQ(Manifest(4), impossible);
  EXPECT_EQ(Manifest(5), impossible + "a.txt");
  EXPECT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_EQ(DataFileOf(in).CloseDataFile(ui), 0);
}

TEST_F(DataFileTest, ReadSettingsRecordReportsAShortFile) {
  EXPECT_EQ(ReadSettingsRecord(in), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, std::string(1219, 'x')));
  EXPECT_EQ(ReadSettingsRecord(in), 100);
  EXPECT_EQ(ui.errorBoxes, (Names{ProblemUsing(in.paths.dataFilePath, ERROR_FILE_NOT_FOUND),
                                  ProblemUsing(in.paths.dataFilePath, 100)}));
}

TEST_F(DataFileTest, WriteSettingsFileCarriesTheWholeRecord) {
  DataFileBuilder builder;
  builder.Stored("a.txt", "a");
  const std::string file = builder.Build();
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, file));
  ASSERT_EQ(ReadSettingsRecord(in), 0);
  EXPECT_EQ(WriteSettingsFile(in), 0);
  EXPECT_EQ(ReadWholeFile(InSaverDir("saver.dat")), file.substr(0, kSettingsRecordSize));
  EXPECT_EQ(ui.statuses, (Names{"Writing Settings File..."}));
  EXPECT_EQ(Manifest(1), "<none>");
  // Without its folder the write fails, and says so.
  in.paths.saverDir += "gone\\";
  EXPECT_EQ(WriteSettingsFile(in), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ui.errorBoxes, (Names{ProblemUsing(InSaverDir("saver.dat"), ERROR_PATH_NOT_FOUND)}));
}

}  // namespace
}  // namespace ssi::test
