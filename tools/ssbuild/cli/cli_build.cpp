// ssbuild build: the installer from a project file, options, or both.
#include <cstdio>
#include <optional>
#include <ostream>

#include "build_plan.h"
#include "build_project.h"
#include "builder_core.h"
#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "cli_output.h"
#include "cli_show.h"
#include "installer_writer.h"
#include "listing.h"
#include "native_file.h"
#include "payload_roles.h"
#include "project_file.h"
#include "signing.h"

namespace ssbuild {
namespace {

struct CommandLine {
  std::string projectPath;
  Defines defines;
  bool json = false;
  Verbosity verbosity = Verbosity::kNormal;
  DataFileParts data;  // replaces the project's data file parts when given
  bool allowProjectCommands = false;
};

// "ROLE=VALUE" into the role's index and the value.
bool SplitRoleValue(ArgList& args, const std::string& option, int& role, std::string& value) {
  std::string text;
  if (!args.TakeValue(option, text)) return false;
  const size_t eq = text.find('=');
  role = eq == std::string::npos ? -1 : RoleFromWord(text.substr(0, eq));
  if (role < kFirstRole) {
    args.Fail(option + " " + text + ": expected ROLE=VALUE with a payload role");
    return false;
  }
  value = text.substr(eq + 1);
  return true;
}

void TakeCompression(ArgList& args, const std::string& option, BuildProject& p) {
  int role = 0;
  std::string mode;
  if (!SplitRoleValue(args, option, role, mode)) return;
  CompressionChoice choice;
  if (!ParseCompressionChoice(mode, choice)) {
    args.Fail(option + " " + mode + ": expected store, binary[:DICT] or ascii[:DICT]");
  } else if (role == ssi::entry::kCompressionLibrary && choice.implode) {
    args.Fail("the library (entry 1) is always stored");
  } else {
    p.roles[static_cast<size_t>(role)].compression = choice;
  }
}

// A switch that takes no value; false when `option` is none.
bool TakeSwitch(const std::string& option, BuildProject& p, CommandLine& c) {
  if (option == "--licence-flag" || option == "--license-flag" || option == "--accept-licence") {
    p.licenceFlag = true;
  } else if (option == "--readme-flag" || option == "--open-readme") {
    p.readMeFlag = true;
  } else if (option == "--display-properties-flag" || option == "--open-display-properties") {
    p.displayPropertiesFlag = true;
  } else if (option == "--no-accept-licence" || option == "--no-licence-flag") {
    p.licenceFlag = false;
  } else if (option == "--no-open-readme" || option == "--no-readme-flag") {
    p.readMeFlag = false;
  } else if (option == "--no-open-display-properties") {
    p.displayPropertiesFlag = false;
  } else if (option == "--allow-incomplete") {
    p.allowIncomplete = true;
  } else if (option == "--werror") {
    p.werror = true;
  } else if (option == "--json") {
    c.json = true;
  } else if (option == "-q" || option == "--quiet") {
    c.verbosity = Verbosity::kQuiet;
  } else if (option == "-v" || option == "--verbose") {
    c.verbosity = Verbosity::kVerbose;
  } else if (option == "--allow-project-commands") {
    c.allowProjectCommands = true;
  } else {
    return false;
  }
  return true;
}

// An option with a value that sets the whole build; false when `option` is none.
bool TakeBuildValue(ArgList& args, const std::string& option, BuildProject& p, CommandLine& c) {
  std::string value;
  int64_t number = 0;
  if (option == "-o" || option == "--output") {
    if (args.TakeValue(option, p.output)) p.origins["output"] = option;
  } else if (option == "--stub") {
    args.TakeValue(option, p.stubPath);
  } else if (option == "--saver-name" || option == "--name") {
    if (args.TakeValue(option, value)) p.saverName = value;
  } else if (option == "--display-mode" || option == "--display") {
    int mode = 0;
    if (!args.TakeValue(option, value)) return true;
    if (ParseDisplayMode(value, mode))
      p.displayMode = mode;
    else
      args.Fail(option + " " + value + ": expected none, picture, movie, silent or 0..255");
  } else if (option == "--codepage") {
    if (args.TakeInt(option, 1, 65535, number)) p.codePage = static_cast<unsigned>(number);
  } else if (option == "--sign") {
    if (args.TakeValue(option, p.signCommand)) p.signOrigin.clear();
  } else if (option == "-D") {
    if (!args.TakeValue(option, value)) return true;
    const size_t eq = value.find('=');
    if (eq == std::string::npos || eq == 0)
      args.Fail("-D " + value + ": expected NAME=VALUE");
    else
      c.defines[value.substr(0, eq)] = value.substr(eq + 1);
  } else if (option == "-j" || option == "--jobs") {
    if (args.TakeInt(option, 1, 256, number)) p.packThreads = static_cast<unsigned>(number);
  } else {
    return false;
  }
  return true;
}

// An option naming a payload entry's file, name or compression (or the
// level); false when `option` is none.
bool TakeEntryOption(ArgList& args, const std::string& option, BuildProject& p) {
  std::string value;
  const int role = option.rfind("--", 0) == 0 ? RoleFromWord(option.substr(2)) : -1;
  if (role >= kFirstRole) {
    if (args.TakeValue(option, value)) RequestRole(p, role, value, option);
  } else if (option == "--entry-name") {
    int named = 0;
    if (SplitRoleValue(args, option, named, value))
      p.roles[static_cast<size_t>(named)].entryName = value;
  } else if (option == "--compress") {
    TakeCompression(args, option, p);
  } else if (option == "--store") {
    if (!args.TakeValue(option, value)) return true;
    const int stored = RoleFromWord(value);
    if (stored < kFirstRole)
      args.Fail(option + " " + value + ": not a payload role");
    else
      p.roles[static_cast<size_t>(stored)].compression = CompressionChoice{false, false, 4096};
  } else if (option == "--store-all") {
    p.defaultCompression = CompressionChoice{false, false, 4096};
  } else if (option == "--level") {
    args.TakeLevel(option, p.level);
  } else {
    return false;
  }
  return true;
}

// Applies the options to `p`; everything else lands in `c`.
void ParseOptions(ArgList& args, BuildProject& p, CommandLine& c) {
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    if (TakeSwitch(option, p, c) || TakeBuildValue(args, option, p, c) ||
        TakeEntryOption(args, option, p) || TakeDataFileOption(option, "--data-", args, c.data) ||
        TakeShowOption(option, args, p.show))
      continue;
    if (option.size() > 1 && option[0] == '-')
      args.Fail("build: unknown option \"" + option + "\"");
    else if (c.projectPath.empty())
      c.projectPath = option;
    else
      args.Fail("build: more than one project file given");
  }
}

// The options are read twice: once to find the project file and the -D
// values it needs, once more over what the project file said, so that any
// option overrides the file whatever their order.
bool ReadRequest(const CommandArgs& argv, BuildProject& p, CommandLine& c, std::ostream& err,
                 int& exitCode) {
  {
    ArgList args(argv, 0);
    BuildProject scratch;
    ParseOptions(args, scratch, c);
    if (args.Failed()) {
      exitCode = UsageFailure(err, args.Error());
      return false;
    }
  }
  if (!c.projectPath.empty()) {
    std::vector<std::string> errors;
    LoadProjectFile(c.projectPath, c.defines, p, errors);
    if (!errors.empty()) {
      for (const std::string& e : errors) err << "ssbuild: " << e << "\n";
      exitCode = kExitFailed;
      return false;
    }
  }
  ArgList args(argv, 0);
  CommandLine again;
  const size_t filePictures = p.show.layout.pictures.size();
  ParseOptions(args, p, again);
  if (c.data.any) p.data = c.data;
  // Pictures given as options replace the project's list instead of adding to it.
  std::vector<ssi::ShowPicture>& pictures = p.show.layout.pictures;
  if (pictures.size() > filePictures)
    pictures.erase(pictures.begin(), pictures.begin() + static_cast<std::ptrdiff_t>(filePictures));
  if (p.output.empty()) {
    exitCode = UsageFailure(err, "build needs -o OUT (or output = in the project's [installer])");
    return false;
  }
  const std::string outside = OutputOutsideProject(p);
  if (!outside.empty()) {
    err << "ssbuild: " << outside << "\n";
    exitCode = kExitFailed;
    return false;
  }
  // Project folders travel (a zip from the web page, an example from a
  // forum): building one runs no command of its own unless the one who
  // builds says so.
  if (!p.signOrigin.empty() && !c.allowProjectCommands) {
    err << "ssbuild: " << p.signOrigin << ": sign = names a command, which a build runs only "
        << "when asked: give it as --sign \"COMMAND {in} {out}\", or build with "
        << "--allow-project-commands to run the project's\n";
    exitCode = kExitFailed;
    return false;
  }
  return true;
}

int Build(const BuildProject& p, const CommandLine& c, std::ostream& out, std::ostream& err) {
  Reporter report(err, c.verbosity);
  report.Step("checking " + (p.projectPath.empty() ? std::string("the options") : p.projectPath));
  std::optional<ProgressLine> progress;  // timed from the end of the checks
  BuildHooks hooks;
  hooks.checked = [&](const BuildPlan&, Findings& findings) {
    if (!p.signCommand.empty()) {
      const std::string problem = SignCommandProblem(p.signCommand);
      if (!problem.empty()) findings.errors.push_back(problem);
    }
    for (const std::string& e : findings.errors) report.Error(e);
    const bool warningsFail = p.werror && !findings.warnings.empty();
    for (const std::string& w : findings.warnings) report.Warning(w, p.werror);
    if (!findings.errors.empty() || warningsFail) {
      report.Error(std::to_string(findings.errors.size()) + " error(s), " +
                   std::to_string(findings.warnings.size()) + " warning(s); nothing written");
      return false;
    }
    for (const std::string& n : findings.notes) report.Note(n);
    progress.emplace(err, c.verbosity != Verbosity::kQuiet);
    return true;
  };
  hooks.progress = [&](uint64_t done, uint64_t total) { progress->Update(done, total); };
  BuildOutcome run;
  hooks.step = [&](int index) {
    const PlannedEntry& e = run.plan.entries[static_cast<size_t>(index)];
    progress->SetLabel("packing entry " + std::to_string(index) + " (" + e.name + ")");
    report.Step("packing entry " + std::to_string(index) + " (" + RoleName(index) +
                "): " + e.label + ", " + std::to_string(e.size) + " bytes, as " + e.name);
  };
  const std::string written = p.signCommand.empty() ? p.output : UnsignedPath(p);
  BuildInstaller(p, DiskInputs(), written, run, hooks);
  if (!run.planned) return kExitFailed;
  progress->Done();
  if (!run.status.ok()) {
    report.Error(run.status.text());
    return kExitFailed;
  }
  if (!p.signCommand.empty()) {
    report.Step("signing: " + p.signCommand);
    const Status signedOk = SignAndCheck(p.signCommand, written, p.output, p.allowIncomplete);
    if (!signedOk.ok()) {
      // An installer that should have been signed is not handed out unsigned.
      RemoveFile(p.output);
      report.Error(signedOk.text());
      return kExitFailed;
    }
  }
  const long peak = PeakMemoryKiB();
  if (peak >= 0) report.Step("peak memory " + std::to_string(peak) + " KiB");
  InstallerView view;
  view.payloadOffset = static_cast<uint32_t>(run.plan.stub.size());
  view.header = run.written.header;
  if (c.json) {
    PrintInstallerJson(out, view, static_cast<size_t>(run.written.fileSize));
  } else if (c.verbosity != Verbosity::kQuiet) {
    PrintInstallerSummary(out, run.written.header, static_cast<size_t>(run.written.fileSize));
    out << "wrote " << p.output << "\n";
  }
  return kExitOk;
}

}  // namespace

int BuildCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  BuildProject project;
  CommandLine commandLine;
  int exitCode = kExitOk;
  if (!ReadRequest(argv, project, commandLine, err, exitCode)) return exitCode;
  return Build(project, commandLine, out, err);
}

}  // namespace ssbuild
