#include "path_rules.h"

#include <algorithm>

#include "payload_format.h"

namespace ssi {
namespace {

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\:"); }

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

bool OnlyDots(const std::string& s) {
  return !s.empty() && s.find_first_not_of('.') == std::string::npos;
}

// Windows drops trailing dots and blanks from a name, so "a.scr." is written
// as "a.scr" and ". ." names the folder itself: such a name is not what it
// says it is.
bool EndsInDotOrBlank(const std::string& s) {
  return !s.empty() && (s.back() == '.' || s.back() == ' ');
}

// CON, NUL, COM1 and the like name devices in every folder, with or without
// an extension and in any case: a file of that name would be written to the
// device instead. Windows counts COM and LPT with a digit 0 to 9 or a
// superscript one, two or three: bytes B9, B2, B3 in the Latin code pages,
// C2 B9, C2 B2, C2 B3 where the ANSI code page is UTF-8, and the check must
// see the character, whichever bytes carry it.
bool IsDeviceName(const std::string& name) {
  std::string base = AsciiLower(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
      base == "conout$")
    return true;
  if (base.size() == 5 && static_cast<unsigned char>(base[3]) == 0xC2 &&
      (base[4] == '\xB9' || base[4] == '\xB2' || base[4] == '\xB3'))
    base.erase(3, 1);
  if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0))
    return false;
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

std::string PathExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return {};
  const size_t sep = LastSeparator(path);
  if (sep != std::string::npos && dot < sep) return {};
  return path.substr(dot);
}

std::string ReplaceExtension(const std::string& name, const std::string& ext) {
  const std::string old = PathExtension(name);
  return name.substr(0, name.size() - old.size()) + ext;
}

std::string FileNamePart(const std::string& path) {
  const size_t sep = LastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FolderPart(const std::string& path) {
  const size_t sep = LastSeparator(path);
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || EndsInDotOrBlank(name) || IsDeviceName(name)) return false;
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '\\' || c == '/' || c == ':' || IsControl(c); });
}

bool IsValidSaverName(const std::string& name) {
  if (OnlyDots(name) || IsDeviceName(name)) return false;
  return name.find_first_of("\\/:*?\"<>|") == std::string::npos &&
         std::none_of(name.begin(), name.end(), IsControl);
}

bool IsContainedRelativePath(const std::string& path) {
  if (path.empty() || path.find(':') != std::string::npos) return false;
  if (std::any_of(path.begin(), path.end(), IsControl)) return false;
  size_t start = 0;
  while (true) {
    const size_t sep = path.find_first_of("\\/", start);
    const std::string part =
        path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (part.empty() || EndsInDotOrBlank(part) || IsDeviceName(part)) return false;
    if (sep == std::string::npos) return true;
    start = sep + 1;
  }
}

std::optional<std::string> EntryDestination(int32_t kind, const std::string& name,
                                            const std::string& windowsDir,
                                            const std::string& saverDir) {
  switch (kind) {
    case 1:
    case 4:
    case 5:
    case 6:
      return saverDir + name;
    case 2:
      return windowsDir + name;
    case 3:
      return windowsDir + (name == "flashax.exe" ? name : ReplaceExtension(name, ".dll"));
    default:
      return std::nullopt;
  }
}

std::string PreviewBitmapName(const std::string& name) {
  std::string result = ReplaceExtension(name, ".bmp");
  if (result.size() > kEntryNameMax) result.resize(kEntryNameMax);
  // A 254-character name would keep only the dot, and Windows would drop it.
  while (EndsInDotOrBlank(result)) result.pop_back();
  return result;
}

std::string WithTrailingBackslash(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace ssi
