// The harness itself: every Wine test relies on a prefix of its own with a
// writable Windows directory and on finding the stub that the build made.
#include <windows.h>

#include <gtest/gtest.h>

#include "artifacts.h"

namespace ssi::test {
namespace {

TEST(WineHarness, FindsTheStubAndOwnsAWritableWindowsDirectory) {
  const std::string stub = ArtifactPath("SSI_STUB");
  EXPECT_NE(GetFileAttributesA(stub.c_str()), INVALID_FILE_ATTRIBUTES) << stub;
  const std::string probe = WindowsDir() + "ssi-harness-probe.txt";
  ASSERT_TRUE(WriteWholeFile(probe, "x"));
  EXPECT_EQ(ReadWholeFile(probe), "x");
  EXPECT_TRUE(DeleteFileA(probe.c_str()));
}

}  // namespace
}  // namespace ssi::test
