// ssbuild data: a screen saver data file from a settings record and chunks.
#include <ostream>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "cli_show.h"
#include "data_file_examiner.h"
#include "installer_text.h"
#include "listing.h"

namespace ssbuild {

int DataCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  DataFileParts parts;
  ShowOptions show;
  std::string output;
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    if (option == "-o" || option == "--output") {
      args.TakeValue(option, output);
    } else if (option == "--store-all") {
      parts.defaultCompression = CompressionChoice{false, false, 4096};
    } else if (option == "--level") {
      args.TakeLevel(option, parts.level);
    } else if (!TakeDataFileOption(option, "--", args, parts) &&
               !TakeShowOption(option, args, show)) {
      args.Fail("data: unknown option \"" + option + "\"");
    }
  }
  if (!args.Failed() && output.empty()) args.Fail("data needs -o OUT");
  if (args.Failed()) return UsageFailure(err, args.Error());

  // The settings record's texts reach end users too: the installer's code page.
  std::vector<std::string> errors;
  const std::map<std::string, std::string> noOrigins;
  InstallerText text(kDefaultCodePage, noOrigins, errors);
  text.ConvertShow(show);
  for (DataFileParts::Chunk& chunk : parts.chunks) {
    std::string& name = chunk.copy ? chunk.path : chunk.name;
    if (name.empty() && !chunk.copy) name = BaseName(chunk.path);
    if (!name.empty()) text.ConvertAt(name, false, "the chunk name \"" + name + "\"", "");
  }
  if (!errors.empty()) {
    for (const std::string& e : errors) err << "ssbuild: " << e << "\n";
    return kExitFailed;
  }
  Bytes image;
  Status status = BuildDataFileFromParts(parts, DiskInputs(), image);
  std::string warnings;
  if (status.ok()) status = ApplyShowOptions(show, image, warnings);
  err << warnings;
  if (status.ok()) status = WriteWholeFile(output, image);
  if (!status.ok()) {
    err << "ssbuild: " << status.text() << "\n";
    return kExitFailed;
  }
  DataFileView view;
  if (ReadDataFile(image, view).ok()) PrintDataFileSummary(out, image, view);
  out << "wrote " << output << "\n";
  return kExitOk;
}

}  // namespace ssbuild
