#include "byte_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "interrupt_cleanup.h"
#include "native_file.h"

namespace ssbuild {

Status ReadWholeFile(const std::string& path, Bytes& out) {
  out.clear();
  std::string reason;
  FilePtr file = OpenFile(path, FileMode::kRead, reason);
  if (!file) return Status::Fail(path + ": cannot open: " + reason);
  uint8_t chunk[65536];
  errno = 0;
  while (true) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    out.insert(out.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get()))
    return Status::Fail(path + ": cannot read: " + std::strerror(errno != 0 ? errno : EIO));
  return {};
}

namespace {

Status WriteBytes(const std::string& path, const Bytes& bytes, FileMode mode) {
  RemoveOnInterrupt guard(path);
  std::string reason;
  FilePtr file = OpenFile(path, mode, reason);
  if (!file) return Status::Fail(path + ": cannot create: " + reason);
  errno = 0;
  const size_t put = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  const int writeError = errno;
  const bool closed = std::fclose(file.release()) == 0;
  if (put != bytes.size() || !closed) {
    const int error = writeError != 0 ? writeError : (errno != 0 ? errno : EIO);
    RemoveFile(path);
    return Status::Fail(path + ": cannot write: " + std::strerror(error));
  }
  return {};
}

}  // namespace

Status WriteWholeFile(const std::string& path, const Bytes& bytes) {
  return WriteBytes(path, bytes, FileMode::kCreate);
}

Status WriteNewFile(const std::string& path, const Bytes& bytes) {
  return WriteBytes(path, bytes, FileMode::kCreateNew);
}

std::string BaseName(const std::string& path) {
  const size_t sep = path.find_last_of("/\\:");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace ssbuild
