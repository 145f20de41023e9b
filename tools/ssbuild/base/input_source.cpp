#include "input_source.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

bool StatDisk(const std::string& path, uint64_t& size, std::string& problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(FsPath(path), ec);
  if (ec || !fs::exists(status)) {
    problem =
        path + ": cannot open: " +
        (ec ? ec.message() : std::make_error_code(std::errc::no_such_file_or_directory).message());
    return false;
  }
  if (!fs::is_regular_file(status)) {
    problem = path + (fs::is_directory(status) ? ": is a folder, not a file" : ": not a file");
    return false;
  }
  size = fs::file_size(FsPath(path), ec);
  if (ec) {
    problem = path + ": cannot read its size: " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool DiskInputs::Stat(const std::string& path, uint64_t& size, std::string& problem) const {
  return StatDisk(path, size, problem);
}

Status DiskInputs::ReadWhole(const std::string& path, Bytes& out) const {
  return ReadWholeFile(path, out);
}

std::FILE* DiskInputs::Open(const std::string& path) const {
  std::string reason;
  return OpenFile(path, FileMode::kRead, reason).release();
}

std::string MemoryInputs::Key(const std::string& path) const {
  const std::string normal = fs::path(path).lexically_normal().generic_string();
  if (normal.compare(0, root_.size(), root_) != 0) return {};
  return normal.substr(root_.size());
}

const Bytes* MemoryInputs::Find(const std::string& path) const {
  const std::string key = Key(path);
  if (key.empty() || taken_.count(key) != 0) return nullptr;
  const auto it = files_.find(key);
  return it == files_.end() ? nullptr : &it->second;
}

void MemoryInputs::HandOverOnRead(const std::string& path) {
  const std::string key = Key(path);
  const auto it = files_.find(key);
  if (it != files_.end()) handedOver_[key] = it->second.size();
}

bool MemoryInputs::Stat(const std::string& path, uint64_t& size, std::string& problem) const {
  const std::string key = Key(path);
  const auto handed = handedOver_.find(key);
  if (handed != handedOver_.end()) {
    size = handed->second;
    return true;
  }
  const Bytes* bytes = Find(path);
  if (bytes == nullptr) {
    problem = path + ": cannot open: " + std::strerror(ENOENT);
    return false;
  }
  size = bytes->size();
  return true;
}

Status MemoryInputs::ReadWhole(const std::string& path, Bytes& out) const {
  const Bytes* bytes = Find(path);
  if (bytes == nullptr) return Status::Fail(path + ": cannot open: " + std::strerror(ENOENT));
  const std::string key = Key(path);
  if (handedOver_.count(key) != 0) {
    out = std::move(files_[key]);
    taken_[key] = true;
  } else {
    out = *bytes;
  }
  return {};
}

void MemoryInputs::Done(const std::string& path) const {
  const std::string key = Key(path);
  if (handedOver_.count(key) == 0) return;
  files_[key] = Bytes();
  taken_[key] = true;
}

std::FILE* MemoryInputs::Open(const std::string& path) const {
  const Bytes* bytes = Find(path);
  if (bytes == nullptr) {
    errno = ENOENT;
    return nullptr;
  }
  // fmemopen refuses a buffer of no bytes.
  // Windows has no fmemopen: a copy in a temporary file there.
#ifdef _WIN32
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return nullptr;
  if (std::fwrite(bytes->data(), 1, bytes->size(), file) != bytes->size()) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  return file;
#else
  if (bytes->empty()) return std::tmpfile();
  return fmemopen(const_cast<uint8_t*>(bytes->data()), bytes->size(), "rb");
#endif
}

Status ReadInput(const InputSource& source, const std::string& path, Bytes& out) {
  out.clear();
  return source.ReadWhole(path, out);
}

FilePtr OpenInput(const InputSource& source, const std::string& path, std::string& reason) {
  if (source.IsDisk()) return OpenFile(path, FileMode::kRead, reason);
  errno = 0;
  FilePtr file(source.Open(path));
  if (!file) reason = std::strerror(errno != 0 ? errno : ENOENT);
  return file;
}

Bytes ReadInputHead(const InputSource& source, const std::string& path, size_t count) {
  Bytes head(count);
  std::string reason;
  const FilePtr file = OpenInput(source, path, reason);
  if (!file) return {};
  head.resize(std::fread(head.data(), 1, count, file.get()));
  return head;
}

}  // namespace ssbuild
