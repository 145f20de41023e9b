#pragma once
// Helpers for the payload and work-location tests: a file held open by
// another process, hand-made installer files, an Installer over scratch
// folders, and the stand-in compression libraries.
#include <windows.h>

#include <cstdint>
#include <string>

#include "installer.h"
#include "payload_format.h"
#include "recording_ui.h"
#include "win_handles.h"

namespace ssi::test {

// The folder of the running test program, with a trailing backslash; the
// helper programs and stand-in libraries are built next to it.
std::string TestProgramDir();

// A file held open, without any sharing, by a helper process of its own until
// this object goes away.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Holding() const { return holding_; }

 private:
  KernelHandle process_;
  KernelHandle release_;
  bool holding_ = false;
};

// An installer file made by hand: a stub of filler bytes, the header, then
// the entries' bytes in the order they were added.
class PayloadFileBuilder {
 public:
  explicit PayloadFileBuilder(size_t stubSize = 64);
  // Appends `bytes` as entry `index`. expandedSize -1 means bytes.size().
  PayloadEntry& Add(int index, const std::string& name, int32_t kind, const std::string& bytes,
                    bool compressed = false, int32_t expandedSize = -1);
  PayloadHeader header;
  std::string Bytes() const;
  bool WriteTo(const std::string& path) const;
  int64_t Offset() const { return static_cast<int64_t>(stub_.size()); }
  int64_t End() const { return Offset() + static_cast<int64_t>(kPayloadHeaderSize + data_.size()); }

 private:
  std::string stub_;
  std::string data_;
};

// An Installer whose WindowsDir and SaverDir are fresh scratch folders (the
// expander still looks for its library in the real Windows directory), with
// a manifest at SaverDir + "saver.ini" and TempCopyPath a file of the test's
// choosing in the scratch folder.
struct ScratchInstall {
  ScratchInstall();
  RecordingUi ui;
  Installer in{ui};
  std::string root;  // ends in "\"
  // The manifest's value for key `key` ("" when absent).
  std::string Manifest(int key) const;
  // Runs ExtractPayloadEntry for `index` over the file that `payload` makes.
  ResultCode Extract(const PayloadFileBuilder& payload, int index, bool showProgress = false,
                     bool addToManifest = true);
};

// Puts a stand-in library (a file next to the test program) in place as
// WindowsDir + "impborl.dll"; an empty name removes it.
bool InstallLibrary(const std::string& fileName);
// The same from a full path.
bool InstallLibraryFrom(const std::string& path);

// Whether a module with this full path is loaded in the process.
bool ModuleLoaded(const std::string& path);

// CRC-32 (standard, start value and final inversion included).
uint32_t Crc32(const std::string& bytes);

}  // namespace ssi::test
