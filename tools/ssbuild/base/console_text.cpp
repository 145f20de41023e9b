#include "console_text.h"

#include <cstdint>

#include "code_page.h"

namespace ssbuild {
namespace {

// "\\xNN", or "\\u00NN" for a C1 character.
std::string Escape(const char* prefix, unsigned value) {
  static const char kHex[] = "0123456789ABCDEF";
  return std::string(prefix) + kHex[value >> 4 & 15] + kHex[value & 15];
}

// The length of the UTF-8 sequence at `i`, 0 when there is none.
size_t SequenceAt(const std::string& text, size_t i) {
  for (size_t length = 1; length <= 4 && i + length <= text.size(); ++length)
    if (FirstInvalidUtf8(text.substr(i, length)) == std::string::npos) return length;
  return 0;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<uint8_t>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      out += Escape("\\x", byte);
      ++i;
      continue;
    }
    if (byte < 0x80) {
      out += text[i++];
      continue;
    }
    const size_t length = SequenceAt(text, i);
    if (length == 0) {
      out += Escape("\\x", byte);
      ++i;
    } else if (length == 2 && byte == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0) {
      out += Escape("\\u00", static_cast<uint8_t>(text[i + 1]));  // C1: U+0080..U+009F
      i += 2;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string ShownName(const std::string& name) {
  if (FirstInvalidUtf8(name) == std::string::npos) return Printable(name);
  const CodePage latin1(kDefaultCodePage);
  std::string decoded;
  for (const char c : name) {
    std::string one;
    if (static_cast<uint8_t>(c) < 0x80 || !latin1.ToUtf8(std::string(1, c), one))
      one = std::string(1, c);  // left for Printable to escape
    decoded += one;
  }
  return Printable(decoded);
}

}  // namespace ssbuild
