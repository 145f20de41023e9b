#include "cli.h"

#include <algorithm>
#include <ostream>
#include <sstream>

#include "cli_commands.h"
#include "console_text.h"
#include "path_rules.h"
#include "suggestions.h"

#ifndef SSBUILD_VERSION
#define SSBUILD_VERSION "unknown"
#endif

namespace ssbuild {
namespace {

constexpr const char* kUsage =
    "usage: ssbuild COMMAND ...   (ssbuild COMMAND --help for one command)\n"
    "\n"
    "  init    DIR                  write an example project that builds as it is\n"
    "  build   [PROJECT.ini] [options] [--ROLE FILE]...   build an installer\n"
    "  data    -o OUT [options]     build a screen saver data file\n"
    "  list    FILE [--json]        show an installer's or data file's tables\n"
    "  verify  FILE                 check every layout rule\n"
    "  extract FILE -C DIR          unpack the entries or chunks\n"
    "  implode [--ascii] [--dict N] [--level L] IN OUT    raw DCL streams\n"
    "  explode IN OUT\n"
    "  render  MOVIE.swf [--frames N] [--size WxH] -o OUT.png   draw a Flash movie's stage\n"
    "\n"
    "  --version, --help; -q (errors only) and -v (each step) for every command.\n"
    "Exit codes: 0 ok, 1 usage, 2 build, check or conversion failed.\n";

constexpr const char* kBuildUsage =
    "usage: ssbuild build [PROJECT.ini] [-o OUT] [options] [--ROLE FILE]...\n"
    "\n"
    "Builds an installer from a project file (see ssbuild init), from options, or\n"
    "both: options override the project file. Every problem is reported at once.\n"
    "\n"
    "  -o, --output OUT           the installer to write\n"
    "  --name, --saver-name NAME  the screen saver's name (folder name, 1..64 bytes)\n"
    "  --display MODE             none, picture, movie, silent, or 0..255\n"
    "  --accept-licence           show the licence; the user accepts it (--licence-flag)\n"
    "  --open-readme              open the read-me after the install (--readme-flag)\n"
    "  --open-display-properties  open Display Properties afterwards\n"
    "  --no-accept-licence, --no-open-readme, --no-open-display-properties\n"
    "                             turn a flag of the project file off\n"
    "  --ROLE FILE                the file of a role:\n"
    "      screen-saver       the screen saver program; lands as WINDOWS\\NAME.scr\n"
    "      preview            picture (BMP) or Flash movie shown in the window\n"
    "      licence, readme    texts; land in the screen saver's folder\n"
    "      data-file          the data file (ssbuild data); its chunks are unpacked\n"
    "      further-file, support-library-1, support-library-2\n"
    "                         further files; land in the screen saver's folder\n"
    "      compression-library  impborl.dll (default: the one ssbuild carries)\n"
    "      flash-installer    flashax.exe, run when a movie preview finds no player\n"
    "      (short names: saver further data support1 support2 library flash, or 1..10)\n"
    "  --entry-name ROLE=NAME     the entry's name instead of the default\n"
    "  --compress ROLE=MODE[:DICT], --store ROLE, --store-all\n"
    "                             MODE binary or ascii, DICT 1024/2048/4096\n"
    "  --level fast|default|best  how hard implode searches (all expand alike)\n"
    "  --data-settings FILE, --data-first-chunk-kind N,\n"
    "  --data-chunk FILE [--chunk-name N] [--chunk-kind N] [--chunk-store]\n"
    "               [--chunk-compress MODE[:DICT]], --data-copy NAME\n"
    "                             make the data file from its parts\n"
    "  SHOW-OPTION (see ssbuild data --help) the show layout, publisher and version,\n"
    "                             written into the data file\n"
    "  --codepage N               the installer's ANSI code page for names and texts\n"
    "                             given in UTF-8 (default 1252)\n"
    "  --stub FILE                the stub (default: the one ssbuild carries)\n"
    "  -D NAME=VALUE              a value for ${NAME} in the project file\n"
    "  --sign \"COMMAND {in} {out}\" sign the result, then verify it\n"
    "  --allow-project-commands   run the project file's sign = command\n"
    "  -j, --jobs N               implode up to N entries or chunks side by side\n"
    "                             (default: one per processor; same output for any N)\n"
    "  --werror                   treat warnings as errors\n"
    "  --allow-incomplete         build even when the installer could not install\n"
    "  --json                     print the summary as JSON\n"
    "  -q, -v                     errors only / each step\n"
    "\n"
    "Roles the install needs that are left out are filled in (one note each):\n"
    "the compression library, an empty data file, and for further-file and the\n"
    "support libraries an empty saver.dat that the install replaces.\n";

constexpr const char* kDataUsage =
    "usage: ssbuild data -o OUT [--settings FILE] [--first-chunk-kind N] [--store-all]\n"
    "                    [--level fast|default|best]\n"
    "                    [--chunk FILE [CHUNK-OPTION]...]... [--copy NAME]...\n"
    "\n"
    "  CHUNK-OPTION: --chunk-name NAME, --chunk-kind N, --chunk-store,\n"
    "                --chunk-compress MODE[:DICT]\n"
    "  SHOW-OPTION:  --show picture NAME[:SECONDS] (repeatable), --show movie NAME,\n"
    "                --seconds N, --transition cut|fade|wipe, --transition-ms N,\n"
    "                --order listed|shuffled, --publisher TEXT, --version TEXT\n"
    "                (the screen saver's show layout and the uninstall entry's\n"
    "                Publisher and DisplayVersion, in the settings record)\n"
    "Makes a screen saver data file: the settings record, one entry per chunk or\n"
    "copy, the chunks (imploded unless that is not smaller). At most 108.\n";

constexpr const char* kListUsage =
    "usage: ssbuild list FILE [--json] [--installer | --data] [--payload-offset N]\n"
    "Prints the header and the entry (or chunk) table and a summary. A signed\n"
    "installer is read without its signature.\n";

constexpr const char* kVerifyUsage =
    "usage: ssbuild verify FILE [--installer | --data] [--payload-offset N]\n"
    "                      [--allow-incomplete]\n"
    "Checks every layout rule and expands every compressed entry; one line per\n"
    "problem, exit code 2 when there is any. A signed installer is checked\n"
    "without its signature.\n";

constexpr const char* kExtractUsage =
    "usage: ssbuild extract FILE -C DIR [--installer | --data] [--payload-offset N]\n"
    "Writes every entry (or chunk) into DIR under its name.\n";

constexpr const char* kInitUsage =
    "usage: ssbuild init DIR [--force]\n"
    "Writes an example project into DIR: project.ini (commented), the sample\n"
    "screen saver, a preview, a licence, a read-me and two pictures. Build it with\n"
    "ssbuild build DIR/project.ini. Existing files are kept unless --force.\n";

constexpr const char* kImplodeUsage =
    "usage: ssbuild implode [--ascii] [--dict 1024|2048|4096] [--level fast|default|best]\n"
    "                       IN OUT\n"
    "       ssbuild explode IN OUT\n"
    "Raw DCL streams; a bad stream exits with 2 and names the fault. --level says\n"
    "how hard implode searches for matches: fast, default (within about 1% of the\n"
    "smallest stream) or best; every level expands the same way.\n";

constexpr const char* kRenderUsage =
    "usage: ssbuild render MOVIE.swf [--frames N] [--size WxH] -o OUT.png\n"
    "Draws the movie's stage as it stands after N frames (1, the default: the\n"
    "first frame shown) at the movie's stage size, as an 8-bit RGBA PNG. Sound is\n"
    "read and ignored; ActionScript 3 movies are refused. A movie that cannot be\n"
    "read exits with 2 and one line naming the problem.\n";

struct Command {
  const char* name;
  int (*run)(const CommandArgs&, std::ostream&, std::ostream&);
  const char* usage;
  bool takesVerbosity;  // build and init read -q/-v themselves
};

constexpr Command kCommands[] = {
    {"build", BuildCommand, kBuildUsage, true},
    {"init", InitCommand, kInitUsage, true},
    {"data", DataCommand, kDataUsage, false},
    {"list", ListCommand, kListUsage, false},
    {"verify", VerifyCommand, kVerifyUsage, false},
    {"extract", ExtractCommand, kExtractUsage, false},
    {"implode", ImplodeCommand, kImplodeUsage, false},
    {"explode", ExplodeCommand, kImplodeUsage, false},
    {"render", RenderCommand, kRenderUsage, false},
};

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

}  // namespace

int UsageFailure(std::ostream& err, const std::string& text) {
  err << "ssbuild: " << text << "\n(see ssbuild --help)\n";
  return kExitUsage;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // -q and -v may stand before the command too.
  std::vector<std::string> global;
  size_t first = 0;
  while (first < args.size() && (args[first] == "-q" || args[first] == "-v"))
    global.push_back(args[first++]);
  if (first == args.size()) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string& name = args[first];
  // A project file dropped onto ssbuild.exe arrives alone: build it.
  if (args.size() == first + 1 && name.size() > 4 &&
      ssi::AsciiLower(name.substr(name.size() - 4)) == ".ini") {
    CommandArgs rest(global);
    rest.push_back(name);
    return BuildCommand(rest, out, err);
  }
  if (IsHelp(name) || name == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (name == "--version") {
    out << "ssbuild " << SSBUILD_VERSION << "\n";
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    CommandArgs rest(args.begin() + static_cast<std::ptrdiff_t>(first) + 1, args.end());
    if (std::any_of(rest.begin(), rest.end(), IsHelp)) {
      out << command.usage;
      return kExitOk;
    }
    rest.insert(rest.begin(), global.begin(), global.end());
    if (command.takesVerbosity) return command.run(rest, out, err);
    // The other commands print only what was asked for; -q silences the rest.
    bool quiet = false;
    CommandArgs kept;
    for (const std::string& arg : rest) {
      if (arg == "-q" || arg == "--quiet")
        quiet = true;
      else if (arg != "-v" && arg != "--verbose")
        kept.push_back(arg);
    }
    std::ostringstream discarded;
    return command.run(kept, quiet ? discarded : out, err);
  }
  std::vector<std::string> names;
  for (const Command& command : kCommands) names.push_back(command.name);
  return UsageFailure(err, "unknown command \"" + Printable(name) + "\"" + Suggest(name, names));
}

}  // namespace ssbuild
