#include "build_project.h"

#include <filesystem>

#include "native_file.h"
#include "payload_roles.h"

namespace ssbuild {
namespace {

constexpr const char* kRoleWords[] = {"stub",
                                      "compression-library",
                                      "flash-installer",
                                      "preview",
                                      "licence",
                                      "readme",
                                      "screen-saver",
                                      "further-file",
                                      "data-file",
                                      "support-library-1",
                                      "support-library-2"};

// The part of an origin that names its source: "--saver" stays, "p.ini:12" is "p.ini".
std::string SourceOf(const std::string& origin) {
  if (origin.rfind("--", 0) == 0) return "command line";
  const size_t colon = origin.rfind(':');
  return colon == std::string::npos ? origin : origin.substr(0, colon);
}

}  // namespace

std::string OutputOutsideProject(const BuildProject& project) {
  namespace fs = std::filesystem;
  const auto origin = project.origins.find("output");
  if (project.projectPath.empty() || origin == project.origins.end() ||
      SourceOf(origin->second) != project.projectPath)
    return {};
  // Links resolved on both sides, so a link inside the folder that points
  // out of it counts as outside.
  std::error_code ec;
  const fs::path folder =
      fs::weakly_canonical(fs::absolute(FsPath(project.projectPath), ec).parent_path(), ec);
  const fs::path out = fs::weakly_canonical(fs::absolute(FsPath(project.output), ec), ec);
  const fs::path inside = out.lexically_relative(folder);
  const bool within = !ec && !inside.empty() && *inside.begin() != ".." && inside != ".";
  if (within) return {};
  return origin->second + ": output = " + project.output + " lies outside the project's folder " +
         Utf8Path(folder) + ": name a file inside it, or give -o " + project.output +
         " to write there";
}

bool ParseDisplayMode(const std::string& text, int& mode) {
  static const struct {
    const char* word;
    int mode;
  } kWords[] = {{"none", 0}, {"picture", 1}, {"movie", 3}, {"silent", 4}};
  for (const auto& w : kWords)
    if (text == w.word) {
      mode = w.mode;
      return true;
    }
  int64_t number = 0;
  if (!ParseInteger(text, 0, 255, number)) return false;
  mode = static_cast<int>(number);
  return true;
}

int RoleFromWord(const std::string& text) {
  for (int i = kFirstRole; i <= kLastRole; ++i)
    if (text == kRoleWords[i]) return i;
  const int role = RoleIndex(text);
  return role >= kFirstRole ? role : -1;
}

const char* RoleWord(int index) {
  return index >= 0 && index <= kLastRole ? kRoleWords[index] : "";
}

void RequestRole(BuildProject& project, int role, const std::string& path,
                 const std::string& origin) {
  RoleRequest& request = project.roles[static_cast<size_t>(role)];
  if (!request.path.empty() && SourceOf(request.origin) == SourceOf(origin))
    project.repeated.push_back("entry " + std::to_string(role) + " (" + RoleWord(role) +
                               ") is given twice: " + request.path + " (" + request.origin +
                               "), then " + path + " (" + origin + "); the last one counts");
  request.path = path;
  request.origin = origin;
}

}  // namespace ssbuild
