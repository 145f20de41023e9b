#include "cli.h"

#include <ostream>

#include "cli_commands.h"

namespace ssbuild {
namespace {

constexpr const char* kUsage =
    "usage: ssbuild COMMAND ...\n"
    "\n"
    "  build   -o OUT --stub STUB --saver-name NAME [--display-mode N]\n"
    "          [--licence-flag] [--readme-flag] [--display-properties-flag]\n"
    "          [--ROLE FILE]... [--entry-name ROLE=NAME]...\n"
    "          [--compress ROLE=MODE[:DICT]]... [--store ROLE]... [--store-all]\n"
    "          [--data-settings FILE] [--data-first-chunk-kind N]\n"
    "          [--data-chunk FILE [CHUNK-OPTION]...]... [--data-copy NAME]...\n"
    "          [--allow-incomplete] [-j N]\n"
    "          ROLE: library flash preview licence readme saver further data\n"
    "                support1 support2 (or the entry number 1..10)\n"
    "  data    -o OUT [--settings FILE] [--first-chunk-kind N] [--store-all]\n"
    "          [--chunk FILE [CHUNK-OPTION]...]... [--copy NAME]...\n"
    "          CHUNK-OPTION: --chunk-name NAME --chunk-kind N --chunk-store\n"
    "                        --chunk-compress MODE[:DICT]\n"
    "  list    FILE [--json] [--installer | --data] [--payload-offset N]\n"
    "  verify  FILE [--installer | --data] [--payload-offset N] [--allow-incomplete]\n"
    "  extract FILE -C DIR [--installer | --data] [--payload-offset N]\n"
    "  implode [--ascii] [--dict 1024|2048|4096] IN OUT\n"
    "  explode IN OUT\n"
    "\n"
    "MODE: binary or ascii; DICT: 1024, 2048 or 4096 (default binary:4096).\n"
    "Exit codes: 0 ok, 1 usage, 2 build, check or conversion failed.\n";

}  // namespace

int UsageFailure(std::ostream& err, const std::string& text) {
  err << "ssbuild: " << text << "\n(see ssbuild --help)\n";
  return kExitUsage;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  const CommandArgs rest(args.begin() + 1, args.end());
  if (command == "build") return BuildCommand(rest, out, err);
  if (command == "data") return DataCommand(rest, out, err);
  if (command == "list") return ListCommand(rest, out, err);
  if (command == "verify") return VerifyCommand(rest, out, err);
  if (command == "extract") return ExtractCommand(rest, out, err);
  if (command == "implode") return ImplodeCommand(rest, out, err);
  if (command == "explode") return ExplodeCommand(rest, out, err);
  return UsageFailure(err, "unknown command \"" + command + "\"");
}

}  // namespace ssbuild
