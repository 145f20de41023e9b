// Imploded chunks, expanded through impborl.dll in the Windows directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_file_fixture.h"
#include "dcl_buffer.h"
#include "system_text.h"
#include "win_handles.h"

namespace ssi::test {
namespace {

// The box of a file that could not be written, written out here rather than
// taken from the product's message builder.
std::string ProblemUsing(const std::string& file, DWORD error) {
  return "Installation Error: Problem using " + file + ". \r\n\r\n" +
         SystemErrorText(static_cast<ResultCode>(error));
}

std::string Sample(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i)
    text += "chunk line " + std::to_string(i % 97) + "\r\n";
  text.resize(size);
  return text;
}

std::string Implode(const std::string& data) {
  std::vector<uint8_t> out;
  const unsigned status = dcl::ImplodeBuffer(reinterpret_cast<const uint8_t*>(data.data()),
                                             data.size(), DCL_CMP_BINARY, 4096, out);
  EXPECT_EQ(status, 0u);
  return std::string(out.begin(), out.end());
}

class CompressedChunkTest : public DataFileTest {
 protected:
  void SetUp() override {
    DataFileTest::SetUp();
    library = in.paths.windowsDir + "impborl.dll";
    ASSERT_TRUE(CopyFileA(ArtifactPath("SSI_IMPBORL").c_str(), library.c_str(), FALSE));
  }
  std::string library;
};

TEST_F(CompressedChunkTest, ExpandsByteExact) {
  const std::string movie = Sample(50000);
  DataFileBuilder builder;
  builder.Compressed("movie.swf", static_cast<int32_t>(movie.size()), Implode(movie));
  builder.Stored("after.txt", "after");
  EXPECT_EQ(Expand(builder), 0);
  EXPECT_EQ(ReadWholeFile(InSaverDir("movie.swf")), movie);
  EXPECT_EQ(ReadWholeFile(InSaverDir("after.txt")), "after");
  EXPECT_EQ(Manifest(1), InSaverDir("movie.swf"));
  EXPECT_EQ(Manifest(2), InSaverDir("after.txt"));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(CompressedChunkTest, WrongSizeOrCutBlockIsDeleted) {
  const std::string movie = Sample(3000);
  const std::string imploded = Implode(movie);
  DataFileBuilder longer;
  longer.Compressed("movie.swf", static_cast<int32_t>(movie.size()) + 1, imploded);
  EXPECT_EQ(Expand(longer), -13);
  EXPECT_FALSE(Exists(InSaverDir("movie.swf")));
  EXPECT_EQ(Manifest(1), InSaverDir("movie.swf"));
  ASSERT_EQ(DataFileOf(in).CloseDataFile(ui), 0);

  DataFileBuilder cut;
  cut.Compressed("cut.swf", static_cast<int32_t>(movie.size()),
                 imploded.substr(0, imploded.size() / 2));
  EXPECT_EQ(Expand(cut), -13);
  EXPECT_FALSE(Exists(InSaverDir("cut.swf")));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(CompressedChunkTest, WithoutTheLibraryNothingIsExpanded) {
  ASSERT_TRUE(DeleteFileA(library.c_str()));
  const std::string movie = Sample(100);
  DataFileBuilder builder;
  builder.Compressed("movie.swf", static_cast<int32_t>(movie.size()), Implode(movie));
  EXPECT_EQ(Expand(builder), -35);
  EXPECT_FALSE(Exists(InSaverDir("movie.swf")));
  EXPECT_EQ(Manifest(1), InSaverDir("movie.swf"));
  EXPECT_TRUE(ui.errorBoxes.empty());
}

// A running screen saver may hold its movie open: the expander cannot replace
// it, and the older file, though of the right size, is not the chunk.
TEST_F(CompressedChunkTest, BusyOlderFileIsNeitherTakenForTheChunkNorDeleted) {
  const std::string movie = Sample(500);
  const std::string older(movie.size(), 'o');
  const std::string target = InSaverDir("movie.swf");
  ASSERT_TRUE(WriteWholeFile(target, older));
  FileHandle holder(
      CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  DataFileBuilder builder;
  builder.Compressed("movie.swf", static_cast<int32_t>(movie.size()), Implode(movie));
  EXPECT_EQ(Expand(builder), -16);
  EXPECT_EQ(ui.errorBoxes,
            (std::vector<std::string>{ProblemUsing(target, ERROR_SHARING_VIOLATION)}));
  holder.reset();
  EXPECT_EQ(ReadWholeFile(target), older);
  EXPECT_EQ(Manifest(1), target);
}

TEST_F(CompressedChunkTest, DestinationTheExpanderCannotCreateIsNamed) {
  const std::string movie = Sample(100);
  DataFileBuilder builder;
  builder.Compressed("movie.swf", static_cast<int32_t>(movie.size()), Implode(movie));
  ASSERT_TRUE(WriteWholeFile(in.paths.dataFilePath, builder.Build()));
  ASSERT_EQ(DataFileOf(in).OpenDataFile(ui, in.paths.dataFilePath, true), 0);
  // A folder that cannot be made: the expander finds no place for its file.
  const std::string folder = InSaverDir("no\\such\\");
  uint8_t kind = 0;
  EXPECT_EQ(DataFileOf(in).ExtractChunk(ui, folder, 1, true, kind, &*in.saverIni, in.fileCounter),
            -16);
  EXPECT_EQ(ui.errorBoxes,
            (std::vector<std::string>{ProblemUsing(folder + "movie.swf", ERROR_PATH_NOT_FOUND)}));
  EXPECT_EQ(Manifest(1), folder);
  EXPECT_EQ(Manifest(2), folder + "movie.swf");
  EXPECT_EQ(DataFileOf(in).CloseDataFile(ui), 0);
}

}  // namespace
}  // namespace ssi::test
