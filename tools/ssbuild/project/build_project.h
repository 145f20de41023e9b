#pragma once
// What an author asks `ssbuild build` for, from the command line, a project
// file or both (the command line wins). Paths are as given, or made absolute
// against the project file's folder; nothing is read yet.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli_args.h"
#include "compression.h"
#include "payload_format.h"
#include "picture_image.h"
#include "show_layout.h"
#include "version_record.h"

namespace ssbuild {

struct RoleRequest {
  std::string path;       // the file; empty when the role is left out
  std::string origin;     // where it was given ("--saver", "project.ini:12"), for messages
  std::string entryName;  // overrides the default entry name
  std::optional<CompressionChoice> compression;
};

// The screen saver's show layout, publisher and version: written into the data
// file's settings record.
struct ShowOptions {
  bool any = false;
  ssi::ShowLayout layout;
};

struct BuildProject {
  std::string projectPath;  // the project file, if any
  std::string output;
  // Where the build's own files go (a data file made of large chunks): beside
  // the output when empty; the web page's in-memory folder otherwise.
  std::string scratchFolder;
  std::string stubPath;  // empty: the stub this ssbuild carries
  std::optional<std::string> saverName;
  std::optional<int> displayMode;
  std::optional<bool> licenceFlag;
  std::optional<bool> readMeFlag;
  std::optional<bool> displayPropertiesFlag;
  std::optional<unsigned> codePage;  // the installer's ANSI code page; 1252 when not given
  bool allowIncomplete = false;
  bool werror = false;
  std::array<RoleRequest, ssi::kPayloadEntryCount> roles{};
  std::optional<CompressionChoice> defaultCompression;
  DataFileParts data;
  ShowOptions show;
  unsigned packThreads = 0;  // entries and chunks imploded side by side; 0: one per processor
  ssi::dcl::ImplodeLevel level = ssi::dcl::ImplodeLevel::kDefault;  // of every entry and chunk
  std::string signCommand;                                          // "COMMAND {in} {out}"
  // "project.ini:7" when the project file named the command rather than the
  // one who builds: it runs only with --allow-project-commands.
  std::string signOrigin;
  // [installer] icon (an .ico file) and the version record's texts; the
  // publisher and version also feed the show layout.
  std::string iconPath;
  std::string iconOrigin;  // "project.ini:7", for messages
  VersionStrings installerVersion;
  Rgb previewBackground = kDefaultPreviewBackground;
  // Warnings from reading the request: a role or file given twice, a
  // repeated section, a project file read in the ANSI code page.
  std::vector<std::string> repeated;
  // Where each setting was given ("project.ini:12", "--publisher"), by the
  // keys of installer_text.h, for messages.
  std::map<std::string, std::string> origins;

  bool Flag(const std::optional<bool>& flag) const { return flag.value_or(false); }
};

// Display modes by word: "none" 0, "picture" 1, "movie" 3, "silent" 4, or a
// number 0..255. False for anything else.
bool ParseDisplayMode(const std::string& text, int& mode);

// Role names as authors write them: "screen-saver", "preview", "licence",
// "readme", "data-file", "further-file", "support-library-1",
// "support-library-2", "compression-library", "flash-installer", besides the
// short names of payload_roles.h and the entry numbers. -1 when unknown.
int RoleFromWord(const std::string& text);
// The long name of a role ("screen-saver" for 6).
const char* RoleWord(int index);

// A project file travels (a zip from the web page, an example from a forum),
// so its own `output =` may not reach out of its folder; the one who builds
// may give any path with -o. The error naming the line, or nothing.
std::string OutputOutsideProject(const BuildProject& project);

// Sets a role's file, noting a role given twice by the same source.
void RequestRole(BuildProject& project, int role, const std::string& path,
                 const std::string& origin);

}  // namespace ssbuild
