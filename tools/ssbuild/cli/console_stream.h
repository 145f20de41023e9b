#pragma once
// What ssbuild prints, on its way to the terminal: control characters other
// than line feed, carriage return and tab are escaped, whatever text they
// came in; on Windows a console gets the UTF-8 as wide characters
// (WriteConsoleW), so accents read right in any console code page, and a
// file or pipe gets the UTF-8 bytes.
#include <cstdio>
#include <streambuf>
#include <string>

namespace ssbuild {

class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(std::FILE* target);
  ~ConsoleBuffer() override;

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Put(char c);
  void Flush(bool all);
  std::FILE* target_;
#ifdef _WIN32
  bool console_ = false;  // a console, written in wide characters
#endif
  std::string pending_;
};

// True when this program has a console of its own (started from Explorer
// rather than a command prompt), so that it should wait for a key before
// the console closes.
bool OwnsConsole();
// Waits for a key.
void WaitForKey();

}  // namespace ssbuild
