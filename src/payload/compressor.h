#pragma once
// The expander: binds at run time to the compression library impborl.dll in
// the Windows directory and drives its _explode through two callbacks, one
// feeding the compressed block from memory, one writing to the destination.
#include <windows.h>

#include <cstdint>
#include <string>

#include "installer_ui.h"
#include "result_codes.h"

namespace ssi {

class TCompressor {
 public:
  explicit TCompressor(InstallerUi& ui);
  ~TCompressor();
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;

  bool Available() const { return available_; }
  uint32_t OutputCrc() const { return outputCrc_; }
  // Writes the expanded bytes of `source` to fileName. The caller keeps
  // ownership of source and must have checked Available().
  ResultCode ExpandToFile(const std::string& fileName, const uint8_t* source, int32_t sourceSize);

 private:
  // Implementation details are the expander's own.
  friend struct CompressorCallbacks;
  InstallerUi& ui_;
  FARPROC implodeEntry_ = nullptr;
  FARPROC explodeEntry_ = nullptr;
  FARPROC crcEntry_ = nullptr;
  HANDLE outputStream_ = INVALID_HANDLE_VALUE;
  const uint8_t* input_ = nullptr;
  uint32_t inputSize_ = 0;
  uint32_t inputPos_ = 0;
  uint32_t outputCrc_ = 0;
  bool available_ = false;
  HMODULE libraryHandle_ = nullptr;
};

}  // namespace ssi
