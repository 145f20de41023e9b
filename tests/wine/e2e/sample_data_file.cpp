#include "sample_data_file.h"

#include <gtest/gtest.h>

#include "data_file_builder.h"
#include "test_installer.h"

namespace ssi::e2e {

std::string TwoPictureDataFile() {
  ssbuild::DataFileInput input;
  for (const char* name : {"meadow1.bmp", "meadow2.bmp"}) {
    const std::string bmp = MakeBitmap(64, 48);
    ssbuild::ChunkSource chunk =
        ssbuild::ChunkSource::File(ssbuild::Bytes(bmp.begin(), bmp.end()), name);
    chunk.compression.implode = false;
    input.chunks.push_back(std::move(chunk));
  }
  ssbuild::Bytes out;
  const ssbuild::Status status = ssbuild::BuildDataFile(input, out);
  EXPECT_TRUE(status.ok()) << status.text();
  return std::string(out.begin(), out.end());
}

}  // namespace ssi::e2e
