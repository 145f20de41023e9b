#pragma once
// Files by UTF-8 name on every system. The builder keeps every path as UTF-8
// text; on Windows it reaches the system through the wide-character calls,
// so accented names from a project file or the command line work whatever
// the ANSI code page, and files are opened so that an interrupt can delete
// them while they are still open (interrupt_cleanup.h). Elsewhere the bytes
// are the name.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace ssbuild {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

enum class FileMode {
  kRead,        // "rb"
  kCreate,      // "wb": created or emptied
  kCreateRead,  // "wb+"
  kCreateNew,   // "wb", failing when anything (a link too) has the name already
  kUpdate,      // "rb+": an existing file, read and written in place
};

// Opens `path`; on failure returns null and sets `reason` to the system's
// words for why ("No such file or directory").
FilePtr OpenFile(const std::string& path, FileMode mode, std::string& reason);
inline FilePtr OpenFile(const std::string& path, FileMode mode) {
  std::string ignored;
  return OpenFile(path, mode, ignored);
}

// A path object for a UTF-8 name, and the UTF-8 name of a path object.
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

// Removes a file; false when it was not there or could not go.
bool RemoveFile(const std::string& path);
// Renames, replacing `to`; empty on success, else the system's reason.
std::string RenameFile(const std::string& from, const std::string& to);

#ifdef _WIN32
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
// The system's words for a Win32 error code, in UTF-8.
std::string WindowsErrorText(unsigned long code);
#endif

}  // namespace ssbuild
