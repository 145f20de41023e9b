#pragma once
// Where the builder reads an author's files from: the disk, or named byte
// buffers held in memory (the web page has no file system of its own). The
// reads that planning and packing do (build_plan.cpp, entry_stream.cpp,
// ReadWholeFile) ask the source in force, which is the disk unless a
// ScopedInputs puts another one in place.
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "byte_file.h"
#include "native_file.h"
#include "status.h"

namespace ssbuild {

class InputSource {
 public:
  virtual ~InputSource() = default;
  // The size of a regular file, or the problem with it in the words of the
  // disk ("PATH: cannot open: no such file", "PATH: not a file").
  virtual bool Stat(const std::string& path, uint64_t& size, std::string& problem) const = 0;
  virtual Status ReadWhole(const std::string& path, Bytes& out) const = 0;
  // A stream over the file for reading in pieces; null when it cannot be opened.
  virtual std::FILE* Open(const std::string& path) const = 0;
  // The build has no further use for the file at `path` (its chunk is in the
  // data file): a source in memory may let its bytes go.
  virtual void Done(const std::string& path) const { (void)path; }
  // The files are the disk's: the output's folder can be checked there too.
  virtual bool IsDisk() const { return false; }
};

// The author's files on the disk, by UTF-8 name (native_file.h): what
// `ssbuild build` reads.
class DiskInputs : public InputSource {
 public:
  bool Stat(const std::string& path, uint64_t& size, std::string& problem) const override;
  Status ReadWhole(const std::string& path, Bytes& out) const override;
  std::FILE* Open(const std::string& path) const override;
  bool IsDisk() const override { return true; }
};

// Files kept in memory under names relative to `root` (a folder given with
// its trailing "/"): "/project/" + "sunrise.png" is found as "sunrise.png".
class MemoryInputs : public InputSource {
 public:
  explicit MemoryInputs(std::string root) : root_(std::move(root)) {}
  void Add(const std::string& name, Bytes bytes) { files_[name] = std::move(bytes); }
  const Bytes* Find(const std::string& path) const;
  // The file at `path` (as a project names it) is read whole once and never
  // again: that read takes its bytes instead of copying them, so a picture
  // is not held twice while the data file is made. Its size stays known.
  void HandOverOnRead(const std::string& path);

  bool Stat(const std::string& path, uint64_t& size, std::string& problem) const override;
  Status ReadWhole(const std::string& path, Bytes& out) const override;
  std::FILE* Open(const std::string& path) const override;
  // Frees a file handed over (HandOverOnRead) that was streamed instead.
  void Done(const std::string& path) const override;

 private:
  std::string Key(const std::string& path) const;

  std::string root_;
  mutable std::map<std::string, Bytes> files_;
  std::map<std::string, uint64_t> handedOver_;  // name: its size, once it is taken
  mutable std::map<std::string, bool> taken_;   // handed over already
};

// Puts `source` in force until it goes out of scope. Not nested across
// threads: the builder's helper threads only read through it.
class ScopedInputs {
 public:
  explicit ScopedInputs(const InputSource& source);
  ~ScopedInputs();
  ScopedInputs(const ScopedInputs&) = delete;
  ScopedInputs& operator=(const ScopedInputs&) = delete;

 private:
  const InputSource* previous_;
};

// The source in force, or the disk.
const InputSource& Inputs();

// The source in force, or the disk (by UTF-8 name, native_file.h). A failed
// open sets `reason` to the system's words for why.
bool StatInput(const std::string& path, uint64_t& size, std::string& problem);
FilePtr OpenInput(const std::string& path, std::string& reason);
// The first `count` bytes of the file (fewer when it is shorter; none when it
// cannot be read).
Bytes ReadInputHead(const std::string& path, size_t count);

}  // namespace ssbuild
