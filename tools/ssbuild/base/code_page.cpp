#include "code_page.h"

#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace ssbuild {
namespace {

// Decodes one UTF-8 sequence at `i`; false when it is not valid UTF-8
// (overlong forms, surrogates and values past U+10FFFF included).
bool DecodeUtf8(const std::string& text, size_t& i, uint32_t& codePoint) {
  const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
  const uint8_t lead = byte(i);
  size_t extra = 0;
  uint32_t min = 0;
  if (lead < 0x80) {
    codePoint = lead;
    ++i;
    return true;
  }
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, codePoint = lead & 0x1Fu, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, codePoint = lead & 0x0Fu, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, codePoint = lead & 0x07u, min = 0x10000;
  } else {
    return false;
  }
  if (i + extra >= text.size()) return false;
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    codePoint = codePoint << 6 | (byte(i + k) & 0x3Fu);
  }
  if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return false;
  i += extra + 1;
  return true;
}

std::string Hex(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(value));
  return buf;
}

}  // namespace

size_t FirstInvalidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t codePoint = 0;
    const size_t at = i;
    if (!DecodeUtf8(text, i, codePoint)) return at;
  }
  return std::string::npos;
}

bool NeedsConversion(const std::string& text) {
  bool high = false;
  for (size_t i = 0; i < text.size();) {
    uint32_t codePoint = 0;
    if (!DecodeUtf8(text, i, codePoint)) return false;
    high = high || codePoint >= 0x80;
  }
  return high;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

#ifdef _WIN32

std::string CodePage::Problem() const {
  if (IsValidCodePage(number_) == 0)
    return "code page " + std::to_string(number_) + " is not installed on this system";
  return {};
}

bool CodePage::Encode(uint32_t codePoint, std::string& out) const {
  wchar_t wide[2];
  int count = 1;
  if (codePoint >= 0x10000) {
    wide[0] = static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    wide[1] = static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    count = 2;
  } else {
    wide[0] = static_cast<wchar_t>(codePoint);
  }
  char bytes[8];
  BOOL usedDefault = FALSE;
  // Code pages 65000 and up take no default-character flag.
  BOOL* defaultFlag = number_ < 50000 ? &usedDefault : nullptr;
  const int size = WideCharToMultiByte(number_, WC_NO_BEST_FIT_CHARS, wide, count, bytes,
                                       sizeof bytes, nullptr, defaultFlag);
  if (size <= 0 || usedDefault) return false;
  out.append(bytes, static_cast<size_t>(size));
  return true;
}

bool CodePage::ToUtf8(const std::string& text, std::string& out) const {
  out.clear();
  if (text.empty()) return true;
  const int size = MultiByteToWideChar(number_, MB_ERR_INVALID_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(number_, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      &wide[0], size);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &out[0], bytes, nullptr, nullptr);
  return true;
}

unsigned SystemAnsiCodePage() { return GetACP(); }

#else

namespace {
struct IconvHandle {
  IconvHandle(const std::string& to, const std::string& from)
      : handle(iconv_open(to.c_str(), from.c_str())) {}
  explicit IconvHandle(unsigned number) : IconvHandle("CP" + std::to_string(number), "UTF-32LE") {}
  ~IconvHandle() {
    if (ok()) iconv_close(handle);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool ok() const { return handle != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle;
};
}  // namespace

std::string CodePage::Problem() const {
  if (!IconvHandle(number_).ok())
    return "code page " + std::to_string(number_) + " is not known to iconv on this system";
  return {};
}

bool CodePage::Encode(uint32_t codePoint, std::string& out) const {
  IconvHandle converter(number_);
  if (!converter.ok()) return false;
  char in[4] = {static_cast<char>(codePoint & 0xFF), static_cast<char>(codePoint >> 8 & 0xFF),
                static_cast<char>(codePoint >> 16 & 0xFF), static_cast<char>(codePoint >> 24)};
  char bytes[8];
  char* inPtr = in;
  size_t inLeft = sizeof in;
  char* outPtr = bytes;
  size_t outLeft = sizeof bytes;
  if (iconv(converter.handle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
    return false;
  // musl's iconv (the web page's C library) writes "*" for a character the
  // code page lacks instead of failing; no code page holds a non-ASCII
  // character as that byte.
  if (codePoint != '*' && sizeof bytes - outLeft == 1 && bytes[0] == '*') return false;
  out.append(bytes, sizeof bytes - outLeft);
  return true;
}

bool CodePage::ToUtf8(const std::string& text, std::string& out) const {
  out.clear();
  IconvHandle converter("UTF-8", "CP" + std::to_string(number_));
  if (!converter.ok()) return false;
  std::string in = text;
  char* inPtr = in.empty() ? nullptr : &in[0];
  size_t inLeft = in.size();
  std::string buffer(in.size() * 4 + 4, '\0');
  char* outPtr = &buffer[0];
  size_t outLeft = buffer.size();
  if (iconv(converter.handle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
    return false;
  buffer.resize(buffer.size() - outLeft);
  out = std::move(buffer);
  return true;
}

unsigned SystemAnsiCodePage() { return kDefaultCodePage; }

#endif

Status CodePage::Convert(std::string& text, bool multiLine) const {
  if (!NeedsConversion(text)) return {};
  const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::string out;
  out.reserve(text.size());
  std::vector<std::string> cache(256);  // the Latin-1 range, asked most often
  std::vector<std::string> missing;
  size_t line = 1;
  size_t column = 1;
  for (size_t i = start; i < text.size();) {
    uint32_t codePoint = 0;
    const size_t at = i;
    DecodeUtf8(text, i, codePoint);  // valid: NeedsConversion said so
    if (codePoint < 0x80) {
      out += static_cast<char>(codePoint);
    } else if (codePoint < 0x100 && !cache[codePoint].empty()) {
      out += cache[codePoint];
    } else {
      std::string bytes;
      if (Encode(codePoint, bytes)) {
        if (codePoint < 0x100) cache[codePoint] = bytes;
        out += bytes;
      } else {
        missing.push_back(
            Hex(codePoint) + " \"" + text.substr(at, i - at) + "\" at " +
            (multiLine ? "line " + std::to_string(line) + ", column " + std::to_string(column)
                       : "character " + std::to_string(column)));
      }
    }
    ++column;
    if (codePoint == '\n') ++line, column = 1;
  }
  if (!missing.empty()) {
    std::string list;
    for (size_t k = 0; k < missing.size(); ++k)
      list += (k == 0 ? "" : k + 1 == missing.size() ? " and " : ", ") + missing[k];
    return Status::Fail(list + (missing.size() == 1 ? " has" : " have") +
                        " no place in code page " + std::to_string(number_));
  }
  text = std::move(out);
  return {};
}

}  // namespace ssbuild
