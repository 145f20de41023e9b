#include "console_stream.h"

#include <cstdint>

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#include <windows.h>

#include "native_file.h"
#endif

namespace ssbuild {

ConsoleBuffer::ConsoleBuffer(std::FILE* target) : target_(target) {
#ifdef _WIN32
  DWORD mode = 0;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(target)));
  console_ = GetConsoleMode(handle, &mode) != 0;
#endif
}

ConsoleBuffer::~ConsoleBuffer() { Flush(true); }

void ConsoleBuffer::Put(char c) {
  const auto byte = static_cast<uint8_t>(c);
  if ((byte < 0x20 && c != '\n' && c != '\r' && c != '\t') || byte == 0x7F) {
    static const char kHex[] = "0123456789ABCDEF";
    pending_ += "\\x";
    pending_ += kHex[byte >> 4];
    pending_ += kHex[byte & 15];
  } else {
    pending_ += c;
  }
  if (c == '\n' || c == '\r' || pending_.size() >= 4096) Flush(false);
}

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type ch) {
  if (!traits_type::eq_int_type(ch, traits_type::eof())) Put(traits_type::to_char_type(ch));
  return traits_type::not_eof(ch);
}

std::streamsize ConsoleBuffer::xsputn(const char* s, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
  return n;
}

// A character cut by a flush waits for its rest: the console would show
// its halves as two wrong ones.
int ConsoleBuffer::sync() {
  Flush(false);
  return 0;
}

// Writes what is pending; without `all`, a UTF-8 sequence cut at the end
// waits for its rest.
void ConsoleBuffer::Flush(bool all) {
  size_t end = pending_.size();
  if (!all) {
    size_t back = 0;
    while (back < 3 && back < end &&
           (static_cast<uint8_t>(pending_[end - 1 - back]) & 0xC0) == 0x80)
      ++back;
    if (back < end && static_cast<uint8_t>(pending_[end - 1 - back]) >= 0xC0) end -= back + 1;
  }
  if (end == 0) return;
  const std::string text = pending_.substr(0, end);
  pending_.erase(0, end);
#ifdef _WIN32
  if (console_) {
    std::fflush(target_);
    const std::wstring wide = WideFromUtf8(text);
    DWORD written = 0;
    WriteConsoleW(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(target_))), wide.data(),
                  static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
#endif
  std::fwrite(text.data(), 1, text.size(), target_);
  std::fflush(target_);
}

bool OwnsConsole() {
#ifdef _WIN32
  DWORD processes[2];
  DWORD mode = 0;
  // A console shared with no other process is one Windows made for this
  // program; input and output must be that console too, which they are not
  // when a script or test runs it.
  return GetConsoleProcessList(processes, 2) == 1 &&
         GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0 &&
         GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
#else
  return false;
#endif
}

void WaitForKey() {
#ifdef _WIN32
  _getch();
#endif
}

}  // namespace ssbuild
