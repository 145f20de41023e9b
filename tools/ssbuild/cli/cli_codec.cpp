// ssbuild implode / explode: raw DCL streams.
#include <ostream>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "installer_builder.h"

namespace ssbuild {
namespace {

int Fail(std::ostream& err, const std::string& text) {
  err << "ssbuild: " << text << "\n";
  return kExitFailed;
}

}  // namespace

int ImplodeCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  bool ascii = false;
  int64_t dict = 4096;
  ssi::dcl::ImplodeLevel level = ssi::dcl::ImplodeLevel::kDefault;
  std::vector<std::string> files;
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    if (option == "--ascii") {
      ascii = true;
    } else if (option == "--binary") {
      ascii = false;
    } else if (option == "--level") {
      args.TakeLevel(option, level);
    } else if (option == "--dict") {
      if (args.TakeInt(option, 1024, 4096, dict) && dict != 1024 && dict != 2048 && dict != 4096)
        args.Fail("--dict " + std::to_string(dict) + ": expected 1024, 2048 or 4096");
    } else if (option.size() > 1 && option[0] == '-') {
      args.Fail("implode: unknown option \"" + option + "\"");
    } else {
      files.push_back(option);
    }
  }
  if (!args.Failed() && files.size() != 2) args.Fail("implode needs IN and OUT");
  if (args.Failed()) return UsageFailure(err, args.Error());
  Bytes input;
  Bytes output;
  Status status = ReadWholeFile(files[0], input);
  if (status.ok()) {
    status = ImplodeRaw(input, ascii, static_cast<unsigned>(dict), output, level);
    if (!status.ok()) status = Status::Fail(files[0] + ": " + status.text());
  }
  if (status.ok()) status = WriteWholeFile(files[1], output);
  if (!status.ok()) return Fail(err, status.text());
  out << files[0] << ": " << input.size() << " -> " << output.size() << " bytes\n";
  return kExitOk;
}

int ExplodeCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  if (argv.size() != 2 || argv[0].rfind("-", 0) == 0 || argv[1].rfind("-", 0) == 0)
    return UsageFailure(err, "explode needs IN and OUT");
  Bytes input;
  Bytes output;
  Status status = ReadWholeFile(argv[0], input);
  if (status.ok()) {
    status = Explode(input.data(), input.size(), kMaxInstallerSize, output);
    if (!status.ok()) status = Status::Fail(argv[0] + ": " + status.text());
  }
  if (status.ok()) status = WriteWholeFile(argv[1], output);
  if (!status.ok()) return Fail(err, status.text());
  out << argv[0] << ": " << input.size() << " -> " << output.size() << " bytes\n";
  return kExitOk;
}

}  // namespace ssbuild
