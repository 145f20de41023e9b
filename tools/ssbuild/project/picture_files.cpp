#include "picture_files.h"

#include <algorithm>
#include <system_error>

#include "cli_args.h"
#include "cli_show.h"
#include "native_file.h"
#include "path_rules.h"
#include "picture_image.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// "PATH:SECONDS" apart; a colon followed by anything but digits (a drive)
// stays in the path.
std::string SplitSeconds(const std::string& value, std::string& seconds) {
  const size_t colon = value.rfind(':');
  if (colon == std::string::npos || colon + 1 == value.size()) return value;
  const std::string tail = value.substr(colon + 1);
  if (!std::all_of(tail.begin(), tail.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return value;
  seconds = tail;
  return value.substr(0, colon);
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' ||
                ssi::AsciiLower(pattern.substr(p, 1)) == ssi::AsciiLower(name.substr(n, 1)))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsPictureFileValue(const std::string& value) {
  std::string seconds;
  const std::string path = SplitSeconds(value, seconds);
  return path.find_first_of("/\\*?") != std::string::npos;
}

std::string AddPictureFiles(const std::string& value, const fs::path& base,
                            const std::string& origin, BuildProject& project) {
  std::string seconds;
  std::string path = SplitSeconds(value, seconds);
  std::replace(path.begin(), path.end(), '\\', '/');
  const bool folder = !path.empty() && IsSeparator(path.back());
  const size_t slash = path.rfind('/');
  const std::string dirText =
      folder ? path : path.substr(0, slash == std::string::npos ? 0 : slash + 1);
  const std::string pattern =
      folder ? "*" : path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (dirText.find_first_of("*?") != std::string::npos)
    return "wildcards work in the file name only, not in folders";
  fs::path dir = dirText.empty() ? base : FsPath(dirText);
  if (dir.is_relative()) dir = base / dir;
  dir = dir.lexically_normal();

  std::vector<std::pair<std::string, std::string>> found;  // name, full path
  const bool wild = pattern.find_first_of("*?") != std::string::npos;
  std::error_code ec;
  if (!wild) {
    const fs::path file = dir / pattern;
    if (!fs::is_regular_file(file, ec)) return Utf8Path(file) + ": cannot open: no such file";
    found.emplace_back(pattern, Utf8Path(file));
  } else {
    if (!fs::is_directory(dir, ec)) return Utf8Path(dir) + ": no such folder";
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = Utf8Path(it->path().filename());
      if (!it->is_regular_file(ec) || name.empty() || name[0] == '.') continue;
      // A whole folder gives its pictures, not Thumbs.db or desktop.ini.
      if (folder ? LooksLikePicture(name) : WildcardMatch(pattern, name))
        found.emplace_back(name, Utf8Path(it->path().lexically_normal()));
    }
    if (ec) return Utf8Path(dir) + ": cannot read the folder: " + ec.message();
    if (found.empty())
      return folder ? Utf8Path(dir) + " holds no picture"
                    : "no file in " + Utf8Path(dir) + " matches";
    std::sort(found.begin(), found.end());
  }

  for (const auto& match : found) {
    const std::string& name = match.first;
    const std::string& file = match.second;
    const bool carried =
        std::any_of(project.data.chunks.begin(), project.data.chunks.end(),
                    [&](const DataFileParts::Chunk& c) { return !c.copy && c.path == file; });
    if (!carried) {
      DataFileParts::Chunk chunk;
      chunk.path = file;
      chunk.origin = origin;
      project.data.chunks.push_back(chunk);
      project.data.any = true;
    }
    bool known = false;
    const std::string problem =
        SetShowValue("picture", seconds.empty() ? name : name + ":" + seconds, project.show, known);
    if (!problem.empty()) return problem;
  }
  return {};
}

}  // namespace ssbuild
