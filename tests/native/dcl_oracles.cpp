#include "dcl_oracles.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

extern "C" {
#include <libdynamite.h>
}

namespace ssi::dcl::oracles {

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string& stem) {
  std::string pattern = (fs::temp_directory_path() / (stem + ".XXXXXX")).string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

size_t NodePkware::Add(const std::string& command, const Bytes& input) {
  const std::string n = std::to_string(count_);
  WriteFile(dir_ / ("in" + n), input);
  jobs_ +=
      command + " " + (dir_ / ("in" + n)).string() + " " + (dir_ / ("out" + n)).string() + "\n";
  return count_++;
}

size_t NodePkware::Explode(const Bytes& stream) { return Add("explode", stream); }

size_t NodePkware::Implode(const Bytes& plain, unsigned type, unsigned dictSize) {
  return Add(
      std::string("implode ") + (type == 1 ? "ascii " : "binary ") + std::to_string(dictSize),
      plain);
}

bool NodePkware::Run(std::string& error) {
  const fs::path jobs = dir_ / "jobs";
  WriteFile(jobs, Bytes(jobs_.begin(), jobs_.end()));
  const fs::path script = fs::path(SSI_INTEROP_DIR) / "pkware.mjs";
  if (!fs::exists(fs::path(SSI_INTEROP_DIR) / "node_modules" / "node-pkware" / "package.json")) {
    error = "node-pkware is not installed: run scripts/install-deps.sh (npm ci in tests/interop)";
    return false;
  }
  const std::string command = "node '" + script.string() + "' '" + jobs.string() + "'";
  if (std::system(command.c_str()) != 0) {
    error = "could not run: " + command;
    return false;
  }
  return true;
}

std::optional<Bytes> NodePkware::Result(size_t job, std::string& error) const {
  const fs::path out = dir_ / ("out" + std::to_string(job));
  if (fs::exists(out)) return ReadFile(out);
  const Bytes why = ReadFile(fs::path(out.string() + ".err"));
  error = why.empty() ? "no output" : std::string(why.begin(), why.end());
  return std::nullopt;
}

namespace {

struct DynamiteFeed {
  const Bytes* in;
  size_t pos;
  Bytes* out;
};

size_t DynamiteRead(void* buffer, size_t size, void* cookie) {
  auto& f = *static_cast<DynamiteFeed*>(cookie);
  const size_t n = std::min(size, f.in->size() - f.pos);
  std::copy(f.in->begin() + static_cast<std::ptrdiff_t>(f.pos),
            f.in->begin() + static_cast<std::ptrdiff_t>(f.pos + n), static_cast<uint8_t*>(buffer));
  f.pos += n;
  return n;
}

size_t DynamiteWrite(void* buffer, size_t size, void* cookie) {
  auto& f = *static_cast<DynamiteFeed*>(cookie);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  f.out->insert(f.out->end(), bytes, bytes + size);
  return size;
}

}  // namespace

int DynamiteExplode(const Bytes& stream, Bytes& out) {
  out.clear();
  DynamiteFeed f{&stream, 0, &out};
  return static_cast<int>(dynamite_explode(DynamiteRead, DynamiteWrite, &f));
}

namespace {

struct ClassicFeed {
  const Bytes* in;
  size_t pos;
  Bytes* out;
};

unsigned ClassicRead(char* buffer, unsigned* size, void* param) {
  auto& f = *static_cast<ClassicFeed*>(param);
  const size_t n = std::min<size_t>(*size, f.in->size() - f.pos);
  if (n != 0) std::memcpy(buffer, f.in->data() + f.pos, n);
  f.pos += n;
  return static_cast<unsigned>(n);
}

void ClassicWrite(char* buffer, unsigned* size, void* param) {
  auto& f = *static_cast<ClassicFeed*>(param);
  f.out->insert(f.out->end(), buffer, buffer + *size);
}

}  // namespace

unsigned Classic::Implode(const Bytes& plain, unsigned type, unsigned dictSize, Bytes& out) const {
  out.clear();
  std::vector<char> work(ClassicLibrary::kWorkSize);
  ClassicFeed f{&plain, 0, &out};
  return library_.implode(ClassicRead, ClassicWrite, work.data(), &f, &type, &dictSize);
}

unsigned Classic::Explode(const Bytes& stream, Bytes& out) const {
  out.clear();
  std::vector<char> work(ClassicLibrary::kWorkSize);
  ClassicFeed f{&stream, 0, &out};
  return library_.explode(ClassicRead, ClassicWrite, work.data(), &f);
}

}  // namespace ssi::dcl::oracles
