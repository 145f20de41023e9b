#include "compressor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "error_box.h"
#include "file_replace.h"
#include "messages.h"
#include "path_rules.h"
#include "win_error.h"
#include "work_paths.h"

namespace ssi {
namespace {

// The library's work area for explode. One for the whole program, so only one
// expansion may run at a time.
constexpr size_t kExplodeWorkAreaSize = 12596;
alignas(16) char explodeWorkArea[kExplodeWorkAreaSize];

bool warnOnLoadFailure = false;

template <typename Fn>
Fn Resolve(HMODULE library, const char* name) {
  // FARPROC goes through the generic function pointer type so that the cast
  // to the real signature is explicit.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

std::string CompressionLibraryPath(const std::string& windowsDir) {
  return WithTrailingBackslash(windowsDir) + "impborl.dll";
}

void SetCompressionLibraryWarning(bool on) { warnOnLoadFailure = on; }
bool CompressionLibraryWarning() { return warnOnLoadFailure; }

// The library calls these with the address of a variable that holds the
// expander. Nothing may escape into the library's frames.
struct CompressorCallbacks {
  static unsigned int __cdecl Read(char* buffer, unsigned int* size, void* param) noexcept {
    if (!buffer || !size || !param) return 0;
    TCompressor& self = **static_cast<TCompressor**>(param);
    // Past the limit there is nothing more to learn: the end of the input
    // ends the library's work.
    if (self.overflowed_) return 0;
    const size_t left = self.input_.size() - self.inputPos_;
    const size_t count = std::min<size_t>(*size, left);
    if (count > 0) std::memcpy(buffer, self.input_.data() + self.inputPos_, count);
    self.inputPos_ += count;
    return static_cast<unsigned int>(count);
  }

  static void __cdecl Write(char* buffer, unsigned int* size, void* param) noexcept {
    if (!buffer || !size || !param) return;
    TCompressor& self = **static_cast<TCompressor**>(param);
    if (self.overflowed_ || *size > self.outputLeft_) {
      self.overflowed_ = true;
      return;
    }
    self.outputLeft_ -= *size;
    // A short write (a full disk) shows as a wrong size to the caller.
    DWORD written = 0;
    WriteFile(self.outputStream_.get(), buffer, *size, &written, nullptr);
    if (*size > 0) {
      unsigned long crc = self.outputCrc_;
      crc = self.crcEntry_(buffer, size, &crc);
      self.outputCrc_ = static_cast<uint32_t>(crc);
    }
  }
};

TCompressor::TCompressor(InstallerUi& ui) : ui_(ui) {
  // Without the Windows directory the path would fall back to the root of the
  // current drive, a library nobody put there for us.
  const std::string windowsDir = SystemWindowsDir();
  if (windowsDir.empty()) return;
  const std::string path = CompressionLibraryPath(windowsDir);
  if (!FileExists(path)) return;
  libraryHandle_.reset(LoadLibraryA(path.c_str()));
  if (!libraryHandle_) {
    if (warnOnLoadFailure) {
      const ResultCode error = LastErrorResult();
      warnOnLoadFailure = false;
      ShowErrorWithSystemText(ui_, error, msg::kCompressionLibraryWarning);
    }
    return;
  }
  implodeEntry_ = Resolve<ImplodeFn>(libraryHandle_.get(), "_implode");
  explodeEntry_ = Resolve<ExplodeFn>(libraryHandle_.get(), "_explode");
  crcEntry_ = Resolve<CrcFn>(libraryHandle_.get(), "_crc32");
  available_ = implodeEntry_ && explodeEntry_ && crcEntry_;
  if (!available_) {
    implodeEntry_ = nullptr;
    explodeEntry_ = nullptr;
    crcEntry_ = nullptr;
    libraryHandle_.reset();
  }
}

TCompressor::~TCompressor() {
  if (available_) {
    libraryHandle_.reset();
    available_ = false;
  }
}

ResultCode TCompressor::ExpandToFile(const std::string& fileName, const uint8_t* source,
                                     int32_t sourceSize, uint32_t outputLimit) {
  outputCrc_ = 0xFFFFFFFFu;
  outputLeft_ = outputLimit;
  overflowed_ = false;
  // The block is read from memory and the writes are not checked, so the two
  // failures below are the only ones; they are returned for the callers to
  // report with the file's name, so the "Zip Error" box has no occasion here.
  ResultCode result = rc::kOk;
  const size_t size = source && sourceSize > 0 ? static_cast<size_t>(sourceSize) : 0;
  try {
    input_.assign(source, source + size);
  } catch (const std::bad_alloc&) {
    result = ERROR_NOT_ENOUGH_MEMORY;
  }
  inputPos_ = 0;
  if (result == rc::kOk) {
    outputStream_.reset(CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!outputStream_) result = LastErrorResult();
  }
  // The library's status is not looked at: a damaged block shows as a file
  // of the wrong size.
  if (result == rc::kOk && explodeEntry_) {
    TCompressor* self = this;
    explodeEntry_(&CompressorCallbacks::Read, &CompressorCallbacks::Write, explodeWorkArea, &self);
  }
  std::vector<uint8_t>().swap(input_);
  inputPos_ = 0;
  outputStream_.reset();
  outputCrc_ = ~outputCrc_;
  if (result == rc::kOk && overflowed_) result = rc::kSizeMismatch;
  return result;
}

}  // namespace ssi
