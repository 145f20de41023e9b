// FileStream against the file as the system shows it: what CreateFile,
// ReadFile and GetFileAttributesEx see, and the codes the calls return,
// written out as numbers.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "artifacts.h"
#include "file_stream.h"

namespace ssi::test {
namespace {

constexpr ResultCode kOk = 0;
constexpr ResultCode kFileNotFound = 2;
constexpr ResultCode kPathNotFound = 3;
constexpr ResultCode kInvalidHandle = 6;
constexpr ResultCode kShortRead = 100;

// Another opener's view: the error CreateFile gives it while the stream is open.
DWORD OtherOpenError(const std::string& path, DWORD access) {
  const HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(h);
  return ERROR_SUCCESS;
}

int64_t SizeOnDisk(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class FileStreamTest : public testing::Test {
 protected:
  std::string folder_ = MakeTempFolder("stream");
};

TEST_F(FileStreamTest, ReadsWhatTheSystemWroteAndReportsAShortRead) {
  const std::string path = folder_ + "data.bin";
  ASSERT_TRUE(WriteWholeFile(path, "0123456789"));
  FileStream s;
  ASSERT_EQ(s.Open(path, FileStream::Mode::kRead), kOk);
  int64_t size = 0;
  EXPECT_EQ(s.Size(size), kOk);
  EXPECT_EQ(size, 10);
  char buffer[8] = {};
  EXPECT_EQ(s.Seek(6), kOk);
  EXPECT_EQ(s.Read(buffer, 4), kOk);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(s.Seek(8), kOk);
  EXPECT_EQ(s.Read(buffer, 4), kShortRead);  // two bytes were left
  // Open for reading: others may read, nobody may write.
  EXPECT_EQ(OtherOpenError(path, GENERIC_READ), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(OtherOpenError(path, GENERIC_WRITE), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(s.Close(), kOk);
  EXPECT_EQ(OtherOpenError(path, GENERIC_WRITE), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(s.Close(), kOk);  // closing twice is no failure
}

TEST_F(FileStreamTest, CreateReplacesTheFileAndSharesNothing) {
  const std::string path = folder_ + "out.bin";
  ASSERT_TRUE(WriteWholeFile(path, "an older and longer content"));
  FileStream s;
  ASSERT_EQ(s.Open(path, FileStream::Mode::kCreate), kOk);
  EXPECT_EQ(SizeOnDisk(path), 0);  // truncated at once
  EXPECT_EQ(OtherOpenError(path, GENERIC_READ), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(s.Write("abc", 3), kOk);
  EXPECT_EQ(s.Close(), kOk);
  EXPECT_EQ(ReadWholeFile(path), "abc");
}

TEST_F(FileStreamTest, FailuresReturnTheSystemsErrorNumber) {
  struct Case {
    const char* what;
    std::string path;
    FileStream::Mode mode;
    ResultCode expected;
  };
  const Case cases[] = {
      {"missing file", folder_ + "missing.bin", FileStream::Mode::kRead, kFileNotFound},
      {"missing folder", folder_ + "no folder\\x.bin", FileStream::Mode::kRead, kPathNotFound},
      {"create in a missing folder", folder_ + "no folder\\x.bin", FileStream::Mode::kCreate,
       kPathNotFound},
  };
  for (const Case& c : cases) {
    FileStream s;
    EXPECT_EQ(s.Open(c.path, c.mode), c.expected) << c.what;
    EXPECT_FALSE(s.IsOpen()) << c.what;
  }
  // A stream that was never opened has no handle to work on.
  FileStream closed;
  char byte = 0;
  int64_t size = 0;
  EXPECT_EQ(closed.Read(&byte, 1), kInvalidHandle);
  EXPECT_EQ(closed.Write(&byte, 1), kInvalidHandle);
  EXPECT_EQ(closed.Seek(0), kInvalidHandle);
  EXPECT_EQ(closed.Size(size), kInvalidHandle);
  EXPECT_EQ(closed.Close(), kOk);
}

}  // namespace
}  // namespace ssi::test
