#include "artifacts.h"

#include <windows.h>

#include <cstdlib>
#include <gtest/gtest.h>

namespace ssi::test {

std::string UnixToWinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string ArtifactPath(const char* envName) {
  const char* value = std::getenv(envName);
  if (!value || !*value) {
    ADD_FAILURE() << envName << " is not set; run this test through ctest";
    return {};
  }
  return UnixToWinePath(value);
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  CloseHandle(h);
  return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
  return ok && put == bytes.size();
}

std::string WindowsDir() {
  char buf[MAX_PATH + 1] = {};
  GetWindowsDirectoryA(buf, sizeof buf);
  std::string dir = buf;
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

std::string MakeTempFolder(const std::string& stem) {
  char base[MAX_PATH + 1] = {};
  GetTempPathA(sizeof base, base);
  for (unsigned n = GetTickCount();; ++n) {
    std::string dir = std::string(base) + stem + "-" + std::to_string(n);
    if (CreateDirectoryA(dir.c_str(), nullptr)) return dir + "\\";
  }
}

}  // namespace ssi::test
