// The expander against stand-in libraries in the Windows directory, and
// compressed payload entries written through it.
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "compressor.h"
#include "dcl_buffer.h"
#include "file_replace.h"
#include "messages.h"
#include "payload_test_support.h"

namespace ssi::test {
namespace {

const std::string kLibraryPath = WindowsDir() + "impborl.dll";

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class Expander : public ::testing::Test {
 protected:
  void TearDown() override { InstallLibrary(""); }
  RecordingUi ui;
  std::string dir = MakeTempFolder("ssi-expander");
};

TEST(ExpanderRules, LibraryPathHasOneBackslash) {
  EXPECT_EQ(CompressionLibraryPath("C:\\"), "C:\\impborl.dll");
  EXPECT_EQ(CompressionLibraryPath("C:\\WINDOWS"), "C:\\WINDOWS\\impborl.dll");
  EXPECT_FALSE(CompressionLibraryWarning());
}

TEST_F(Expander, NoLibraryFileMeansNotAvailable) {
  ASSERT_TRUE(InstallLibrary(""));
  TCompressor expander(ui);
  EXPECT_FALSE(expander.Available());
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(Expander, LibraryWithoutAllEntryPointsIsReleasedAtOnce) {
  ASSERT_TRUE(InstallLibrary("fake_impborl_no_crc.dll"));
  {
    TCompressor expander(ui);
    EXPECT_FALSE(expander.Available());
    EXPECT_FALSE(ModuleLoaded(kLibraryPath));
  }
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(Expander, LibraryThatWillNotLoadWarnsOnceWhenTheSwitchIsOn) {
  ASSERT_TRUE(WriteWholeFile(kLibraryPath, "not a library"));
  {
    TCompressor expander(ui);
    EXPECT_FALSE(expander.Available());
  }
  EXPECT_TRUE(ui.errorBoxes.empty());
  SetCompressionLibraryWarning(true);
  { TCompressor first(ui); }
  { TCompressor second(ui); }
  ASSERT_EQ(ui.errorBoxes.size(), 1u);
  EXPECT_EQ(ui.errorBoxes[0].rfind(std::string(msg::kCompressionLibraryWarning) + "\r\n\r\n", 0),
            0u);
  EXPECT_FALSE(CompressionLibraryWarning());
}

TEST_F(Expander, EveryExpanderHoldsTheLibraryUntilItGoes) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  {
    TCompressor first(ui);
    ASSERT_TRUE(first.Available());
    {
      TCompressor second(ui);
      EXPECT_TRUE(second.Available());
    }
    EXPECT_TRUE(ModuleLoaded(kLibraryPath));
  }
  EXPECT_FALSE(ModuleLoaded(kLibraryPath));
}

TEST_F(Expander, ReplacesTheDestinationWithTheOutputAndItsCrc) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  const std::string target = dir + "out.bin";
  ASSERT_TRUE(WriteWholeFile(target, std::string(20000, 'x')));
  const std::string block = Pattern(5555);
  TCompressor expander(ui);
  ASSERT_TRUE(expander.Available());
  EXPECT_EQ(expander.ExpandToFile(target, reinterpret_cast<const uint8_t*>(block.data()),
                                  static_cast<int32_t>(block.size()), 5555),
            rc::kOk);
  EXPECT_EQ(ReadWholeFile(target), block);
  EXPECT_EQ(expander.OutputCrc(), Crc32(block));
  EXPECT_EQ(expander.OutputCrc(), 0x00000000u + Crc32(block));

  // An empty block leaves an empty file, and the CRC of nothing.
  EXPECT_EQ(expander.ExpandToFile(target, nullptr, 0, 0), rc::kOk);
  EXPECT_TRUE(FileExists(target));
  EXPECT_EQ(ReadWholeFile(target), "");
  EXPECT_EQ(expander.OutputCrc(), 0u);
  EXPECT_TRUE(ui.errorBoxes.empty());
}

TEST_F(Expander, ADestinationThatCannotBeCreatedReturnsItsError) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  TCompressor expander(ui);
  ASSERT_TRUE(expander.Available());
  const uint8_t block[] = {1, 2, 3};
  EXPECT_GT(expander.ExpandToFile(dir + "no such folder\\out.bin", block, 3, 3), 0);
  EXPECT_EQ(expander.ExpandToFile(dir + "again.bin", block, 3, 3), rc::kOk);
  EXPECT_EQ(ReadWholeFile(dir + "again.bin"), std::string("\1\2\3"));
}

// Output past the recorded size is never written: the expansion stops there
// and says so, even when what was written has exactly the recorded size.
TEST_F(Expander, StopsWritingAtTheLimit) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  const std::string target = dir + "capped.bin";
  const std::string block = Pattern(70000);
  const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
  TCompressor expander(ui);
  ASSERT_TRUE(expander.Available());
  for (const uint32_t limit : {0u, 1u, 4096u, 69999u}) {
    EXPECT_EQ(expander.ExpandToFile(target, bytes, 70000, limit), rc::kSizeMismatch) << limit;
    const std::string written = ReadWholeFile(target);
    EXPECT_LE(written.size(), limit);
    EXPECT_EQ(written, block.substr(0, written.size()));
  }
  EXPECT_EQ(expander.ExpandToFile(target, bytes, 70000, 70000), rc::kOk);
  EXPECT_EQ(ReadWholeFile(target), block);
  EXPECT_TRUE(ui.errorBoxes.empty());
}

class CompressedEntry : public Expander {
 protected:
  ScratchInstall s;
  PayloadFileBuilder payload;
};

TEST_F(CompressedEntry, IsExpandedCheckedAndRecorded) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  const std::string block = Pattern(3000);
  payload.Add(6, "meadow.scr", 2, block, true);
  EXPECT_EQ(s.Extract(payload, 6, true), rc::kOk);
  EXPECT_EQ(ReadWholeFile(s.in.paths.windowsDir + "meadow.scr"), block);
  EXPECT_EQ(s.Manifest(0), s.in.paths.windowsDir + "meadow.scr");
  EXPECT_TRUE(s.ui.errorBoxes.empty());
  EXPECT_FALSE(ModuleLoaded(kLibraryPath));
}

TEST_F(CompressedEntry, OfTheWrongSizeIsReportedAndLeftInPlace) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  // The stand-in passes bytes through: a block "cut short" of what the entry
  // promises.
  payload.Add(3, "installer.scf", 5, "abc", true, 4);
  EXPECT_EQ(s.Extract(payload, 3), rc::kSizeMismatch);
  const std::string target = s.in.paths.saverDir + "installer.scf";
  EXPECT_EQ(s.ui.errorBoxes,
            std::vector<std::string>{msg::InstallErrorText(rc::kSizeMismatch, target, "")});
  EXPECT_EQ(ReadWholeFile(target), "abc");
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(CompressedEntry, WhoseFileCannotBeMadeIsMissingAndTheCauseIsNamed) {
  ASSERT_TRUE(InstallLibrary("fake_impborl.dll"));
  const std::string target = s.in.paths.saverDir + "saver1.dll";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  payload.Add(9, "saver1.dll", 5, "abc", true);
  EXPECT_EQ(s.Extract(payload, 9), rc::kExpandedMissing);
  ASSERT_EQ(s.ui.errorBoxes.size(), 2u);
  const std::string named = "Installation Error: Problem using " + target + ". \r\n\r\n";
  EXPECT_EQ(s.ui.errorBoxes[0].rfind(named, 0), 0u);
  EXPECT_GT(s.ui.errorBoxes[0].size(), named.size());  // the system's reason
  EXPECT_EQ(s.ui.errorBoxes[1], named);
  EXPECT_EQ(s.in.fileCounter, 0);
}

TEST_F(CompressedEntry, WithoutAUsableLibraryIsNotWritten) {
  for (const char* library : {"", "fake_impborl_no_crc.dll"}) {
    s.ui.errorBoxes.clear();
    ASSERT_TRUE(InstallLibrary(library));
    const std::string target = s.in.paths.saverDir + "saver2.dll";
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    PayloadFileBuilder p;
    p.Add(10, "saver2.dll", 5, "abc", true);
    EXPECT_EQ(s.Extract(p, 10), rc::kNoCompressor);
    EXPECT_EQ(s.ui.errorBoxes,
              std::vector<std::string>{msg::InstallErrorText(rc::kNoCompressor, target, "")});
    EXPECT_FALSE(FileExists(target));
  }
  EXPECT_EQ(s.in.fileCounter, 0);
}

// The real library, once the build makes it, on data our own codec imploded
// as the builder does (binary, 4096-byte dictionary).
TEST_F(CompressedEntry, RealLibraryExpandsImplodedEntriesAndSurvivesDamagedOnes) {
  const char* built = std::getenv("SSI_IMPBORL");
  if (!built || !*built) GTEST_SKIP() << "impborl.dll is not built";
  ASSERT_TRUE(InstallLibraryFrom(ArtifactPath("SSI_IMPBORL")));
  const std::string program = Pattern(200000);
  std::vector<uint8_t> imploded;
  ASSERT_EQ(dcl::ImplodeBuffer(reinterpret_cast<const uint8_t*>(program.data()), program.size(),
                               DCL_CMP_BINARY, 4096, imploded),
            0u);
  const std::string block(imploded.begin(), imploded.end());
  payload.Add(6, "meadow.scr", 2, block, true, static_cast<int32_t>(program.size()));
  payload.Add(9, "saver1.dll", 5, block.substr(0, block.size() / 2), true,
              static_cast<int32_t>(program.size()));
  payload.Add(10, "saver2.dll", 5, std::string(5000, '\xFF'), true, 1000);
  EXPECT_EQ(s.Extract(payload, 6), rc::kOk);
  EXPECT_EQ(ReadWholeFile(s.in.paths.windowsDir + "meadow.scr"), program);
  EXPECT_EQ(s.Extract(payload, 9), rc::kSizeMismatch);
  EXPECT_EQ(s.Extract(payload, 10), rc::kSizeMismatch);
  EXPECT_EQ(s.ui.errorBoxes.size(), 2u);

  // A bomb: 64 MiB of zeros in a block of a few kilobytes, recorded as 4096
  // bytes. The file never grows past them, and the entry fails with its box.
  const std::string zeros(64 << 20, '\0');
  ASSERT_EQ(dcl::ImplodeBuffer(reinterpret_cast<const uint8_t*>(zeros.data()), zeros.size(),
                               DCL_CMP_BINARY, 4096, imploded),
            0u);
  PayloadFileBuilder bomb;
  bomb.Add(7, "bomb.txt", 5, std::string(imploded.begin(), imploded.end()), true, 4096);
  s.ui.errorBoxes.clear();
  EXPECT_EQ(s.Extract(bomb, 7), rc::kSizeMismatch);
  const std::string target = s.in.paths.saverDir + "bomb.txt";
  EXPECT_EQ(s.ui.errorBoxes,
            std::vector<std::string>{msg::InstallErrorText(rc::kSizeMismatch, target, "")});
  EXPECT_LE(ReadWholeFile(target).size(), 4096u);
}

}  // namespace
}  // namespace ssi::test
