#pragma once
// The one place where text that end users see goes from the author's UTF-8
// to the installer's ANSI code page: the screen saver name, entry and chunk
// names, the licence and read-me, and every string of the show layout and
// the uninstall entry (publisher, version, picture and movie names). A
// character the code page lacks is an error that names the field, where it
// was given (project file and line, or the option) and every such character.
#include <map>
#include <string>
#include <vector>

#include "build_project.h"
#include "code_page.h"

namespace ssbuild {

class InstallerText {
 public:
  // `origins` maps a field (FieldKey below) to where it was given;
  // problems land in `errors`.
  InstallerText(unsigned codePage, const std::map<std::string, std::string>& origins,
                std::vector<std::string>& errors);

  // Empty when the code page can be used here, else why not (said once, as
  // an error, by the constructor too).
  const std::string& Problem() const { return problem_; }

  // Converts `text` in place; false (with the error given) when it cannot.
  // `field` names it for the author ("the publisher \"...\""), `key` finds its
  // origin.
  bool Convert(std::string& text, bool multiLine, const std::string& field,
               const std::string& key = {});

  // The same for a text whose origin is known ("project.ini:12", "--chunk").
  bool ConvertAt(std::string& text, bool multiLine, const std::string& field,
                 const std::string& origin);

  // Every string of the show layout; false when any failed.
  bool ConvertShow(ShowOptions& show);

 private:
  CodePage codePage_;
  const std::map<std::string, std::string>& origins_;
  std::vector<std::string>& errors_;
  std::string problem_;
};

// Keys of BuildProject::origins: "name", "publisher", "version", "movie",
// "picture.N" (0-based), "output", "stub", "settings", "ROLE.name".
std::string PictureKey(size_t index);

}  // namespace ssbuild
