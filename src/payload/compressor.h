#pragma once
// The expander: binds at run time to the compression library impborl.dll in
// the Windows directory and drives its _explode through two callbacks, one
// feeding the compressed block from memory, one writing to the destination.
//
// The library's contract (all cdecl):
//   _explode(read, write, workArea, param): read(buf, &size, param) returns
//     the count delivered, 0 at the end of input; write(buf, &size, param)
//     takes a piece of output; param is passed back unchanged.
//   _crc32(buf, &size, &crc) returns the updated running CRC-32.
//   _implode is looked up, never called.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "installer_ui.h"
#include "result_codes.h"
#include "win_handles.h"

namespace ssi {

// The library's place: the Windows directory, one backslash, "impborl.dll".
std::string CompressionLibraryPath(const std::string& windowsDir);

// The warning shown once when the library exists but will not load. Off
// unless switched on; it switches itself off after showing.
void SetCompressionLibraryWarning(bool on);
bool CompressionLibraryWarning();

class TCompressor {
 public:
  // Loads the library; never fails, Available() tells whether it can be used.
  explicit TCompressor(InstallerUi& ui);
  ~TCompressor();
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;

  bool Available() const { return available_; }
  // CRC-32 of the bytes the last ExpandToFile wrote; nobody compares it.
  uint32_t OutputCrc() const { return outputCrc_; }
  // Writes the expanded bytes of `source` to fileName, replacing any file of
  // that name. The caller keeps ownership of source and must have checked
  // Available(). Damaged data is not detected here: the caller checks the
  // written file's size. But output past `outputLimit` bytes (the size the
  // entry or chunk records) is never written, so a block that expands
  // without end cannot fill the disk: the expansion stops there and returns
  // -13, the code of a file of the wrong size. A destination that cannot be
  // created, or memory for the copy of the block that cannot be had, is not
  // reported here: its system error number is returned for the caller to
  // report.
  ResultCode ExpandToFile(const std::string& fileName, const uint8_t* source, int32_t sourceSize,
                          uint32_t outputLimit);

 private:
  using ReadFn = unsigned int(__cdecl*)(char*, unsigned int*, void*);
  using WriteFn = void(__cdecl*)(char*, unsigned int*, void*);
  using ExplodeFn = unsigned int(__cdecl*)(ReadFn, WriteFn, char*, void*);
  using ImplodeFn = unsigned int(__cdecl*)(ReadFn, WriteFn, char*, void*, unsigned int*,
                                           unsigned int*);
  using CrcFn = unsigned long(__cdecl*)(char*, unsigned int*, unsigned long*);

  friend struct CompressorCallbacks;

  InstallerUi& ui_;
  ImplodeFn implodeEntry_ = nullptr;
  ExplodeFn explodeEntry_ = nullptr;
  CrcFn crcEntry_ = nullptr;
  FileHandle outputStream_;     // during ExpandToFile only
  std::vector<uint8_t> input_;  // the copy of the block, during ExpandToFile only
  size_t inputPos_ = 0;
  uint64_t outputLeft_ = 0;  // bytes the destination may still take
  bool overflowed_ = false;  // the library wanted to write more than that
  uint32_t outputCrc_ = 0;
  bool available_ = false;
  Module libraryHandle_;
};

}  // namespace ssi
