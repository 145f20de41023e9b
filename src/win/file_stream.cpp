#include "file_stream.h"

#include "win_error.h"

namespace ssi {

ResultCode FileStream::Open(const std::string& path, Mode mode) {
  const bool read = mode == Mode::kRead;
  HANDLE h =
      CreateFileA(path.c_str(), read ? GENERIC_READ : GENERIC_WRITE, read ? FILE_SHARE_READ : 0,
                  nullptr, read ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastErrorResult();
  file_.reset(h);
  return rc::kOk;
}

ResultCode FileStream::ReadThrough(HANDLE file) {
  HANDLE h = nullptr;
  const HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, file, self, &h, FILE_GENERIC_READ, FALSE, 0)) return LastErrorResult();
  file_.reset(h);
  return rc::kOk;
}

ResultCode FileStream::Seek(int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(file_.get(), distance, nullptr, FILE_BEGIN)) return LastErrorResult();
  return rc::kOk;
}

ResultCode FileStream::Read(void* buffer, uint32_t size) {
  DWORD got = 0;
  if (!ReadFile(file_.get(), buffer, size, &got, nullptr)) return LastErrorResult();
  return got == size ? rc::kOk : rc::kShortRead;
}

ResultCode FileStream::Write(const void* buffer, uint32_t size) {
  DWORD put = 0;
  if (!WriteFile(file_.get(), buffer, size, &put, nullptr)) return LastErrorResult();
  return put == size ? rc::kOk : rc::kShortWrite;
}

ResultCode FileStream::Size(int64_t& size) const {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(file_.get(), &s)) return LastErrorResult();
  size = s.QuadPart;
  return rc::kOk;
}

ResultCode FileStream::Close() {
  if (!file_) return rc::kOk;
  return file_.reset() ? rc::kOk : LastErrorResult();
}

}  // namespace ssi
