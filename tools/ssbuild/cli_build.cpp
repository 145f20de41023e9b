// ssbuild build: the installer from a stub and one file per payload role.
#include <array>
#include <optional>
#include <ostream>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "installer_builder.h"
#include "listing.h"
#include "payload_roles.h"

namespace ssbuild {
namespace {

struct BuildOptions {
  std::string output;
  std::string stubPath;
  bool saverNameGiven = false;
  InstallerInput input;  // everything but the file contents
  std::array<std::string, ssi::kPayloadEntryCount> paths{};
  std::array<std::optional<CompressionChoice>, ssi::kPayloadEntryCount> compression{};
  std::optional<CompressionChoice> defaultCompression;
  DataFileParts data;
};

// "ROLE=VALUE" into the role's index and the value.
bool SplitRoleValue(ArgList& args, const std::string& option, int& role, std::string& value) {
  std::string text;
  if (!args.TakeValue(option, text)) return false;
  const size_t eq = text.find('=');
  role = eq == std::string::npos ? -1 : RoleIndex(text.substr(0, eq));
  if (role < kFirstRole) {
    args.Fail(option + " " + text + ": expected ROLE=VALUE with a payload role");
    return false;
  }
  value = text.substr(eq + 1);
  return true;
}

void TakeCompression(ArgList& args, const std::string& option, BuildOptions& o) {
  int role = 0;
  std::string mode;
  if (!SplitRoleValue(args, option, role, mode)) return;
  CompressionChoice choice;
  if (!ParseCompressionChoice(mode, choice)) {
    args.Fail(option + " " + mode + ": expected store, binary[:DICT] or ascii[:DICT]");
  } else if (role == ssi::entry::kCompressionLibrary && choice.implode) {
    args.Fail("the library (entry 1) is always stored");
  } else {
    o.compression[static_cast<size_t>(role)] = choice;
  }
}

void ParseOptions(ArgList& args, BuildOptions& o) {
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    std::string value;
    int64_t number = 0;
    const int role = option.rfind("--", 0) == 0 ? RoleIndex(option.substr(2)) : -1;
    if (option == "-o" || option == "--output") {
      args.TakeValue(option, o.output);
    } else if (option == "--stub") {
      args.TakeValue(option, o.stubPath);
    } else if (option == "--saver-name") {
      o.saverNameGiven = args.TakeValue(option, o.input.saverName);
    } else if (option == "--display-mode") {
      if (args.TakeInt(option, 0, 255, number)) o.input.displayMode = static_cast<int>(number);
    } else if (option == "--licence-flag" || option == "--license-flag") {
      o.input.licenceFlag = true;
    } else if (option == "--readme-flag") {
      o.input.readMeFlag = true;
    } else if (option == "--display-properties-flag") {
      o.input.displayPropertiesFlag = true;
    } else if (option == "--allow-incomplete") {
      o.input.allowIncomplete = true;
    } else if (option == "-j" || option == "--jobs") {
      if (args.TakeInt(option, 1, 256, number))
        o.input.packThreads = o.data.packThreads = static_cast<unsigned>(number);
    } else if (role >= kFirstRole) {
      args.TakeValue(option, o.paths[static_cast<size_t>(role)]);
    } else if (option == "--entry-name") {
      int named = 0;
      if (SplitRoleValue(args, option, named, value))
        o.input.entries[static_cast<size_t>(named)].name = value;
    } else if (option == "--compress") {
      TakeCompression(args, option, o);
    } else if (option == "--store") {
      if (args.TakeValue(option, value)) {
        const int stored = RoleIndex(value);
        if (stored < kFirstRole)
          args.Fail(option + " " + value + ": not a payload role");
        else
          o.compression[static_cast<size_t>(stored)] = CompressionChoice{false, false, 4096};
      }
    } else if (option == "--store-all") {
      o.defaultCompression = CompressionChoice{false, false, 4096};
    } else if (!TakeDataFileOption(option, "--data-", args, o.data)) {
      args.Fail("build: unknown option \"" + option + "\"");
    }
  }
  if (args.Failed()) return;
  if (o.output.empty())
    args.Fail("build needs -o OUT");
  else if (o.stubPath.empty())
    args.Fail("build needs --stub STUB");
  else if (!o.saverNameGiven)
    args.Fail("build needs --saver-name NAME");
  else if (o.data.any && !o.paths[ssi::entry::kDataFile].empty())
    args.Fail(
        "give the data file either as --data FILE or by its parts (--data-chunk ...), not both");
}

Status LoadEntries(BuildOptions& o) {
  Status status = ReadWholeFile(o.stubPath, o.input.stub);
  if (!status.ok()) return status;
  o.input.stubPath = o.stubPath;
  for (int i = kFirstRole; i <= kLastRole; ++i) {
    const auto slot = static_cast<size_t>(i);
    EntrySource& entry = o.input.entries[slot];
    entry.compression =
        o.compression[slot].value_or(o.defaultCompression.value_or(CompressionChoice{}));
    if (o.paths[slot].empty()) continue;
    Bytes bytes;
    status = ReadWholeFile(o.paths[slot], bytes);
    if (!status.ok()) return status;
    entry.Use(std::move(bytes), o.paths[slot]);
  }
  if (o.data.any) {
    o.data.defaultCompression = o.defaultCompression;
    Bytes dataFile;
    status = BuildDataFileFromParts(o.data, dataFile);
    if (!status.ok()) return Status::Fail("data file: " + status.text());
    o.input.entries[ssi::entry::kDataFile].Use(std::move(dataFile));
  }
  return {};
}

}  // namespace

int BuildCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  BuildOptions o;
  ParseOptions(args, o);
  if (args.Failed()) return UsageFailure(err, args.Error());
  Status status = LoadEntries(o);
  BuiltInstaller built;
  if (status.ok()) status = BuildInstaller(o.input, built);
  if (status.ok()) status = WriteWholeFile(o.output, built.image);
  if (!status.ok()) {
    err << "ssbuild: " << status.text() << "\n";
    return kExitFailed;
  }
  PrintInstallerSummary(out, built.header, built.image.size());
  out << "wrote " << o.output << "\n";
  return kExitOk;
}

}  // namespace ssbuild
