#pragma once
// A file opened through CreateFileA, with the installer's failure rules: every
// operation returns a ResultCode, the system's error number on failure, 100
// for a read that delivers fewer bytes than asked for, 101 for a short write.
#include <windows.h>

#include <cstdint>
#include <string>

#include "result_codes.h"
#include "win_handles.h"

namespace ssi {

class FileStream {
 public:
  enum class Mode { kRead, kCreate };  // kCreate replaces or truncates

  ResultCode Open(const std::string& path, Mode mode);
  // Reads the file that `file` holds open, through a handle of its own that
  // shares the position with `file`: every reader seeks before it reads.
  ResultCode ReadThrough(HANDLE file);
  ResultCode Seek(int64_t offset);
  ResultCode Read(void* buffer, uint32_t size);         // 100 unless all `size` bytes came
  ResultCode Write(const void* buffer, uint32_t size);  // 101 unless all were taken
  ResultCode Size(int64_t& size) const;
  ResultCode Close();  // also done by the destructor, ignoring the outcome
  bool IsOpen() const { return static_cast<bool>(file_); }

 private:
  FileHandle file_;
};

}  // namespace ssi
