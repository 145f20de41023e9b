#include "byte_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "input_source.h"

namespace ssbuild {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

Status Failure(const std::string& path, const char* what, int error) {
  return Status::Fail(path + ": " + what + ": " + std::strerror(error));
}

}  // namespace

Status ReadWholeFile(const std::string& path, Bytes& out) {
  out.clear();
  if (const InputSource* source = InputsInForce()) return source->ReadWhole(path, out);
  errno = 0;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return Failure(path, "cannot open", errno);
  uint8_t chunk[65536];
  while (true) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    out.insert(out.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) return Failure(path, "cannot read", errno != 0 ? errno : EIO);
  return {};
}

Status WriteWholeFile(const std::string& path, const Bytes& bytes) {
  errno = 0;
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) return Failure(path, "cannot create", errno);
  const size_t put = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  const int writeError = errno;
  const bool closed = std::fclose(file.release()) == 0;
  if (put != bytes.size() || !closed) {
    const int error = writeError != 0 ? writeError : (errno != 0 ? errno : EIO);
    std::remove(path.c_str());
    return Failure(path, "cannot write", error);
  }
  return {};
}

std::string BaseName(const std::string& path) {
  const size_t sep = path.find_last_of("/\\:");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace ssbuild
