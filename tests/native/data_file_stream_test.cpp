// The data file streamed chunk by chunk to a file is the one the in-memory
// builder makes, byte for byte: chunks that implode, one that does not (kept
// stored after the try), an empty one, a copy, another kind, a store choice.
#include <gtest/gtest.h>

#include <random>

#include "cli_scratch.h"
#include "data_file_stream.h"

namespace ssbuild {
namespace {

class StreamedDataFileTest : public CliScratch {
 protected:
  StreamedDataFileTest() : CliScratch("ssbuild_stream_") {}
};

TEST_F(StreamedDataFileTest, SameBytesAsInMemory) {
  Bytes noise(70000);
  std::mt19937 random(7);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  Bytes text;
  for (int i = 0; i < 5000; ++i) text.push_back(static_cast<uint8_t>("meadow sun "[i % 11]));
  Write("text.txt", text);
  Write("noise.bin", noise);
  Write("empty.dat", {});
  DataFileParts parts;
  const auto add = [&](const std::string& file, uint8_t kind, bool store) {
    DataFileParts::Chunk c;
    c.path = Path(file);
    c.kind = kind;
    if (store) c.compression = CompressionChoice{false, false, 4096};
    parts.chunks.push_back(c);
  };
  add("text.txt", 0, false);
  add("noise.bin", 0, false);
  add("empty.dat", 0, false);
  DataFileParts::Chunk copy;
  copy.copy = true;
  copy.path = "again.txt";
  parts.chunks.push_back(copy);
  add("text.txt", 7, true);
  parts.chunks.back().name = "stored.txt";
  parts.firstChunkKind = 2;
  parts.level = ssi::dcl::ImplodeLevel::kFast;

  Bytes inMemory;
  ASSERT_TRUE(BuildDataFileFromParts(parts, DiskInputs(), inMemory).ok());
  Bytes head;
  const Status status = WriteDataFileFromParts(parts, DiskInputs(), Path("streamed.ssd"), head);
  ASSERT_TRUE(status.ok()) << status.text();
  EXPECT_EQ(Read("streamed.ssd"), inMemory);
  EXPECT_EQ(head, Bytes(inMemory.begin(), inMemory.begin() + 1220 + 5 * 264));

  // A chunk that cannot be read leaves no file behind.
  add("missing.bin", 0, false);
  EXPECT_FALSE(WriteDataFileFromParts(parts, DiskInputs(), Path("failed.ssd"), head).ok());
  EXPECT_FALSE(std::filesystem::exists(Path("failed.ssd")));
}

}  // namespace
}  // namespace ssbuild
