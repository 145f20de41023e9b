// ssbuild init: writes the example project into a folder.
#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "code_page.h"
#include "native_file.h"
#include "example_project.h"

namespace ssbuild {
namespace {

// Windows editors of old show a text file with bare line feeds as one line.
Bytes ForThisSystem(const ExampleFile& f) {
#ifdef _WIN32
  const std::string name = f.name;
  const bool text = name.size() > 4 && (name.compare(name.size() - 4, 4, ".ini") == 0 ||
                                        name.compare(name.size() - 4, 4, ".txt") == 0);
  if (text) {
    const std::string crlf = WithCrLf(std::string(f.bytes.begin(), f.bytes.end()));
    return Bytes(crlf.begin(), crlf.end());
  }
#endif
  return f.bytes;
}

}  // namespace

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
    const fs::path path = (FsPath(directory) / f.name).make_preferred();
    if (!force && fs::exists(path, ec)) {
      err << "ssbuild: init: " << Utf8Path(path)
          << " exists already; nothing written (--force replaces the example's files)\n";
      return kExitFailed;
    }
  }
  for (const ExampleFile& f : files) {
    const fs::path path = (FsPath(directory) / f.name).make_preferred();
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
      err << "ssbuild: " << Utf8Path(path.parent_path()) << ": cannot create: " << ec.message()
          << "\n";
      return kExitFailed;
    }
    const Status written = WriteWholeFile(Utf8Path(path), ForThisSystem(f));
    if (!written.ok()) {
      err << "ssbuild: " << written.text() << "\n";
      return kExitFailed;
    }
    if (!quiet) out << "wrote " << Utf8Path(path) << "\n";
  }
  if (!quiet)
    out << "build it with: ssbuild build "
        << Utf8Path((FsPath(directory) / "project.ini").make_preferred()) << "\n";
  return kExitOk;
}

}  // namespace ssbuild
