#pragma once
// Where the builder reads an author's files from: the disk, or named byte
// buffers held in memory (the web page has no file system of its own). A
// build is handed its source (BuildInstaller) and passes it to every step
// that reads an author's file, so builds from different sources can run side
// by side in one process.
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
  // Appends the file's bytes to `out`.
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

// The whole file, as ReadWholeFile reads one from the disk.
Status ReadInput(const InputSource& source, const std::string& path, Bytes& out);
// A stream over the file; a failed open sets `reason` to the system's words
// for why.
FilePtr OpenInput(const InputSource& source, const std::string& path, std::string& reason);
// The first `count` bytes of the file (fewer when it is shorter; none when it
// cannot be read).
Bytes ReadInputHead(const InputSource& source, const std::string& path, size_t count);

}  // namespace ssbuild
