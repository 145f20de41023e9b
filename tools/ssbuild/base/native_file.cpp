#include "native_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ssbuild {

#ifdef _WIN32

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
  return out;
}

std::string WindowsErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD size = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = size > 0 && buffer != nullptr ? std::wstring(buffer, size) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : Utf8FromWide(text);
}

FilePtr OpenFile(const std::string& path, FileMode mode, std::string& reason) {
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  int flags = _O_BINARY | _O_RDONLY;
  const char* fmode = "rb";
  if (mode == FileMode::kCreate || mode == FileMode::kCreateNew) {
    access = GENERIC_WRITE;
    disposition = mode == FileMode::kCreate ? CREATE_ALWAYS : CREATE_NEW;
    flags = _O_BINARY | _O_WRONLY;
    fmode = "wb";
  } else if (mode == FileMode::kCreateRead) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
    flags = _O_BINARY | _O_RDWR;
    fmode = "wb+";
  } else if (mode == FileMode::kUpdate) {
    access = GENERIC_READ | GENERIC_WRITE;
    flags = _O_BINARY | _O_RDWR;
    fmode = "rb+";
  }
  // FILE_SHARE_DELETE: an interrupt may delete a file the build still writes.
  const HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    reason = WindowsErrorText(GetLastError());
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd == -1) {
    CloseHandle(handle);
    reason = "cannot open a descriptor";
    return nullptr;
  }
  FilePtr file(_fdopen(fd, fmode));
  if (!file) {
    _close(fd);
    reason = "cannot open a stream";
  }
  return file;
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(WideFromUtf8(utf8));
}

std::string Utf8Path(const std::filesystem::path& path) { return Utf8FromWide(path.wstring()); }

bool RemoveFile(const std::string& path) { return DeleteFileW(WideFromUtf8(path).c_str()) != 0; }

std::string RenameFile(const std::string& from, const std::string& to) {
  if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING) != 0)
    return {};
  return WindowsErrorText(GetLastError());
}

#else

FilePtr OpenFile(const std::string& path, FileMode mode, std::string& reason) {
  errno = 0;
  FilePtr file;
  if (mode == FileMode::kCreateNew) {
    // O_EXCL refuses any name that exists, a link (dangling or not) included.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      file.reset(fdopen(fd, "wb"));
      if (!file) close(fd);
    }
  } else {
    const char* fmode = mode == FileMode::kRead     ? "rb"
                        : mode == FileMode::kCreate ? "wb"
                        : mode == FileMode::kUpdate ? "rb+"
                                                    : "wb+";
    file.reset(std::fopen(path.c_str(), fmode));
  }
  if (!file) reason = std::strerror(errno != 0 ? errno : EIO);
  return file;
}

std::filesystem::path FsPath(const std::string& utf8) { return std::filesystem::path(utf8); }

std::string Utf8Path(const std::filesystem::path& path) { return path.string(); }

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string RenameFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return {};
  return std::strerror(errno);
}

#endif

}  // namespace ssbuild
