#include "build_project.h"

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
