#include "switches.h"

#include <cstdint>
#include <cstdlib>

namespace saver {
namespace {

class Words {
 public:
  explicit Words(const char* text) : p_(text ? text : "") {}

  // The next blank-separated word; a double-quoted word may hold blanks.
  std::string Next() {
    while (*p_ == ' ' || *p_ == '\t') ++p_;
    std::string word;
    if (*p_ == '"') {
      ++p_;
      while (*p_ != '\0' && *p_ != '"') word += *p_++;
      if (*p_ == '"') ++p_;
      return word;
    }
    while (*p_ != '\0' && *p_ != ' ' && *p_ != '\t') word += *p_++;
    return word;
  }

 private:
  const char* p_;
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A window handle as Windows writes it: decimal (sometimes negative, as a
// signed number); nullptr when the text is no number.
HWND ParseWindow(const std::string& text) {
  if (text.empty()) return nullptr;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0' || value == 0) return nullptr;
  return reinterpret_cast<HWND>(static_cast<intptr_t>(value));
}

}  // namespace

Switches ParseSwitches(const char* commandLine) {
  Words words(commandLine);
  const std::string first = words.Next();
  Switches s;
  if (first.empty()) return s;  // a double click: configure
  size_t i = (first[0] == '/' || first[0] == '-') ? 1 : 0;
  const char letter = i < first.size() ? Lower(first[i]) : '\0';
  // "/c:1234" and "/p:1234" carry the window in the same word.
  std::string rest = first.size() > i + 1 ? first.substr(i + 1) : std::string();
  if (!rest.empty() && rest[0] == ':') rest.erase(0, 1);
  switch (letter) {
    case 's':
      s.mode = Mode::kRun;
      break;
    case 'c':
      s.mode = Mode::kConfigure;
      s.window = ParseWindow(rest);
      break;
    case 'p':
    case 'l':  // the old name of the preview switch
      s.mode = Mode::kPreview;
      s.window = ParseWindow(rest.empty() ? words.Next() : rest);
      if (s.window == nullptr) s.mode = Mode::kUnknown;
      break;
    case 'a':
      s.mode = Mode::kPassword;
      break;
    case 'u': {
      s.mode = Mode::kUninstall;
      const std::string next = words.Next();
      const bool flag = next.size() == 2 && (next[0] == '/' || next[0] == '-');
      s.quiet = flag && Lower(next[1]) == 'q';
      s.confirmed = flag && Lower(next[1]) == 'y';
      break;
    }
    case 'x': {
      s.mode = Mode::kDeleteAfter;
      s.waitForPid = static_cast<DWORD>(std::strtoul(words.Next().c_str(), nullptr, 10));
      s.path = words.Next();
      if (s.path.empty()) s.mode = Mode::kUnknown;
      break;
    }
    default:
      s.mode = Mode::kUnknown;
      break;
  }
  return s;
}

}  // namespace saver
