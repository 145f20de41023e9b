// ssbuild init: writes the example project into a folder.
#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "example_project.h"

namespace ssbuild {

int InitCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  std::string directory;
  bool force = false;
  bool quiet = false;
  for (const std::string& arg : argv) {
    if (arg == "--force") {
      force = true;
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "-v" || arg == "--verbose") {
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageFailure(err, "init: unknown option \"" + arg + "\"");
    } else if (directory.empty()) {
      directory = arg;
    } else {
      return UsageFailure(err, "init: more than one folder given");
    }
  }
  if (directory.empty()) return UsageFailure(err, "init needs a folder");
  std::vector<ExampleFile> files;
  const Status status = MakeExampleProject(files);
  if (!status.ok()) {
    err << "ssbuild: init: " << status.text() << "\n";
    return kExitFailed;
  }
  // Nothing an author already has is replaced, unless asked to.
  std::error_code ec;
  for (const ExampleFile& f : files) {
    const fs::path path = (fs::path(directory) / f.name).make_preferred();
    if (!force && fs::exists(path, ec)) {
      err << "ssbuild: init: " << path.string()
          << " exists already; nothing written (--force replaces the example's files)\n";
      return kExitFailed;
    }
  }
  for (const ExampleFile& f : files) {
    const fs::path path = (fs::path(directory) / f.name).make_preferred();
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
      err << "ssbuild: " << path.parent_path().string() << ": cannot create: " << ec.message()
          << "\n";
      return kExitFailed;
    }
    const Status written = WriteWholeFile(path.string(), f.bytes);
    if (!written.ok()) {
      err << "ssbuild: " << written.text() << "\n";
      return kExitFailed;
    }
    if (!quiet) out << "wrote " << path.string() << "\n";
  }
  if (!quiet)
    out << "build it with: ssbuild build " << (fs::path(directory) / "project.ini").string()
        << "\n";
  return kExitOk;
}

}  // namespace ssbuild
