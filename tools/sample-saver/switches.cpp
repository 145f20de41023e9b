#include "switches.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

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

// True when `text` starts with `prefix` (ASCII letters in any case) and the
// prefix ends at a blank or at the end.
bool StartsWithWord(const char* text, const std::string& prefix) {
  if (prefix.empty()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (text[i] == '\0' || Lower(text[i]) != Lower(prefix[i])) return false;
  }
  const char after = text[prefix.size()];
  return after == '\0' || after == ' ' || after == '\t';
}

}  // namespace

const char* ArgumentsOf(const char* commandLine, const std::string& programPath) {
  const char* p = commandLine ? commandLine : "";
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') {
    const char* end = std::strchr(p + 1, '"');
    return end ? end + 1 : p + std::strlen(p);
  }
  std::string forms[3] = {programPath, std::string(), std::string()};
  char other[MAX_PATH] = {};
  DWORD got = GetLongPathNameA(programPath.c_str(), other, MAX_PATH);
  if (got > 0 && got < MAX_PATH) forms[1] = other;
  got = GetShortPathNameA(programPath.c_str(), other, MAX_PATH);
  if (got > 0 && got < MAX_PATH) forms[2] = other;
  // The longest match first: "C:\a b.scr" before a short form that is its prefix.
  std::sort(std::begin(forms), std::end(forms),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& form : forms) {
    if (StartsWithWord(p, form)) return p + form.size();
  }
  // Started some other way (a relative name, say): the first word is the
  // program, as the C runtime takes it.
  while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  return p;
}

Switches ParseSwitches(const char* arguments) {
  Words words(arguments);
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
    case 'u':
      s.mode = Mode::kUninstall;
      for (std::string next = words.Next(); !next.empty(); next = words.Next()) {
        if (next.size() != 2 || (next[0] != '/' && next[0] != '-')) continue;
        const char option = Lower(next[1]);
        s.quiet = s.quiet || option == 'q';
        s.confirmed = s.confirmed || option == 'y';
        s.elevatedByUs = s.elevatedByUs || option == 'e';
      }
      break;
    default:
      s.mode = Mode::kUnknown;
      break;
  }
  return s;
}

}  // namespace saver
