#include "installer_text.h"

namespace ssbuild {

std::string PictureKey(size_t index) { return "picture." + std::to_string(index); }

InstallerText::InstallerText(unsigned codePage, const std::map<std::string, std::string>& origins,
                             std::vector<std::string>& errors)
    : codePage_(codePage), origins_(origins), errors_(errors), problem_(codePage_.Problem()) {
  if (!problem_.empty()) errors_.push_back(problem_);
}

bool InstallerText::Convert(std::string& text, bool multiLine, const std::string& field,
                            const std::string& key) {
  const auto origin = key.empty() ? origins_.end() : origins_.find(key);
  return ConvertAt(text, multiLine, field, origin == origins_.end() ? "" : origin->second);
}

bool InstallerText::ConvertAt(std::string& text, bool multiLine, const std::string& field,
                              const std::string& origin) {
  if (!problem_.empty()) return false;
  const Status status = codePage_.Convert(text, multiLine);
  if (status.ok()) return true;
  // Options name themselves in the field; a project file's line goes first.
  const bool line = !origin.empty() && origin.rfind("--", 0) != 0;
  errors_.push_back((line ? origin + ": " : std::string()) + field + ": " + status.text());
  return false;
}

bool InstallerText::ConvertShow(ShowOptions& show) {
  ssi::ShowLayout& layout = show.layout;
  bool ok =
      Convert(layout.publisher, false, "the publisher \"" + layout.publisher + "\"", "publisher");
  ok = Convert(layout.displayVersion, false, "the version \"" + layout.displayVersion + "\"",
               "version") &&
       ok;
  ok = Convert(layout.movie, false, "the movie \"" + layout.movie + "\"", "movie") && ok;
  for (size_t i = 0; i < layout.pictures.size(); ++i) {
    std::string& name = layout.pictures[i].name;
    ok = Convert(name, false, "the picture \"" + name + "\"", PictureKey(i)) && ok;
  }
  return ok;
}

}  // namespace ssbuild
