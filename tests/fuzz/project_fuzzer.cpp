// libFuzzer target: arbitrary bytes as a project file and as text for the
// code page conversion. Besides never crashing: every project file error
// names the file and a line that exists; text that is not valid UTF-8 stays
// as it is; and whether text is valid UTF-8 is decided as glibc's iconv
// decides it, an implementation we did not write.
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "code_page.h"
#include "fuzz_check.h"
#include "project_file.h"

namespace {

// iconv's verdict: valid UTF-8 holding at least one byte above 0x7F.
bool IconvSaysUtf8WithHighBytes(const std::string& text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) return false;
  iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  FUZZ_CHECK(cd != reinterpret_cast<iconv_t>(-1));
  std::string in = text;
  std::vector<char> out(text.size() * 4 + 8);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  return result != static_cast<size_t>(-1) && inLeft == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  ssbuild::BuildProject project;
  std::vector<std::string> errors;
  ssbuild::ParseProjectText(text, "p.ini", {{"D", "value"}}, project, errors);
  const auto lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
  for (const std::string& e : errors) {
    FUZZ_CHECK(e.rfind("p.ini:", 0) == 0);
    const long line = std::atol(e.c_str() + 6);
    FUZZ_CHECK(line >= 1 && line <= lines);
  }

  FUZZ_CHECK(ssbuild::NeedsConversion(text) == IconvSaysUtf8WithHighBytes(text));
  std::string converted = text;
  const ssbuild::Status status = ssbuild::CodePage(1252).Convert(converted, true);
  if (!ssbuild::NeedsConversion(text)) FUZZ_CHECK(status.ok() && converted == text);
  // Every character of Windows-1252 is one byte, and each takes at least one in UTF-8.
  if (status.ok()) FUZZ_CHECK(converted.size() <= text.size());
  const std::string crlf = ssbuild::WithCrLf(text);
  FUZZ_CHECK(crlf.find("\n") == std::string::npos || crlf.find("\r\n") != std::string::npos);
  return 0;
}
