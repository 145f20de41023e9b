#pragma once
// Text for the installer's ANSI code page. The stub uses the ANSI calls, so
// names and texts must reach it in the code page of the systems it runs on;
// authors write them in UTF-8. Text that is valid UTF-8 (with or without a
// byte order mark) is converted; plain ASCII stays as it is; anything else
// is taken to be in the code page already and left alone. Natively the
// conversion goes through iconv ("CP" + the number), in ssbuild.exe through
// the Win32 conversion calls, without best-fit guesses on either side.
#include <cstdint>
#include <string>

#include "status.h"

namespace ssbuild {

constexpr unsigned kDefaultCodePage = 1252;  // Windows Latin 1

class CodePage {
 public:
  explicit CodePage(unsigned number = kDefaultCodePage) : number_(number) {}
  unsigned number() const { return number_; }

  // Empty when this system can convert to the code page, else why not.
  std::string Problem() const;

  // Converts `text` in place. Characters the code page cannot hold fail
  // with, for every one of them, its code point, the character and its place
  // ("line 3, column 7", or "character 5" for one-line text), prefixed by
  // nothing: the caller names the text.
  Status Convert(std::string& text, bool multiLine) const;

  // Text in this code page as UTF-8; false (and `out` unusable) when a byte
  // or sequence has no character in it.
  bool ToUtf8(const std::string& text, std::string& out) const;

 private:
  // The code page's bytes for one code point; false when it has none.
  bool Encode(uint32_t codePoint, std::string& out) const;
  unsigned number_;
};

// True when `text` is valid UTF-8 and holds a byte above 0x7F (a byte order
// mark counts).
bool NeedsConversion(const std::string& text);

// Where `text` stops being valid UTF-8: the offset of the first byte that is
// not, or std::string::npos when all of it is.
size_t FirstInvalidUtf8(const std::string& text);

// The code page that Windows' ANSI calls use here: GetACP() in ssbuild.exe;
// elsewhere there is none, and Windows Latin 1 stands in.
unsigned SystemAnsiCodePage();

// Bare line feeds become carriage return and line feed.
std::string WithCrLf(const std::string& text);

}  // namespace ssbuild
