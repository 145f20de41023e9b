#pragma once
// Three DCL implementations we did not write, used as black boxes to prove
// our codec speaks the format: node-pkware (run through tests/interop/pkware.mjs,
// one Node process per batch of jobs), libdynamite (linked; it reads
// binary-literal streams only) and the classic implementation itself, which
// Debian's libstorm9 exports as `implode` and `explode` (loaded at run time).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "classic_library.h"

namespace ssi::dcl::oracles {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temp folder, removed with its contents.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& stem);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class NodePkware {
 public:
  explicit NodePkware(const std::filesystem::path& dir) : dir_(dir) {}
  // Queue a job; the result comes under the returned number after Run().
  size_t Explode(const Bytes& stream);
  size_t Implode(const Bytes& plain, unsigned type, unsigned dictSize);
  // Runs every queued job in one Node process. False, with `error` set, when
  // Node itself could not run the batch.
  bool Run(std::string& error);
  // The job's output, or nothing with `error` naming node-pkware's complaint.
  std::optional<Bytes> Result(size_t job, std::string& error) const;

 private:
  size_t Add(const std::string& command, const Bytes& input);
  std::filesystem::path dir_;
  std::string jobs_;
  size_t count_ = 0;
};

// libdynamite's result (0 for success) and output.
int DynamiteExplode(const Bytes& stream, Bytes& out);

// The classic implementation; `Loaded()` is false, with `Error()` saying why,
// when libstorm.so.9 is missing. Results are the classic codes (0 for success).
class Classic {
 public:
  Classic() : error_(library_.Load("libstorm.so.9")) {}
  bool Loaded() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  unsigned Implode(const Bytes& plain, unsigned type, unsigned dictSize, Bytes& out) const;
  unsigned Explode(const Bytes& stream, Bytes& out) const;

 private:
  ClassicLibrary library_;
  std::string error_;
};

Bytes ReadFile(const std::filesystem::path& path);
bool WriteFile(const std::filesystem::path& path, const Bytes& bytes);

}  // namespace ssi::dcl::oracles
