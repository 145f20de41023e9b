#include "builder_core.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <utility>

#include "bundled_files.h"
#include "data_file_stream.h"
#include "native_file.h"
#include "project_file.h"

namespace ssbuild {
namespace {

// The folder the project's files seem to lie in; messages drop it again.
constexpr const char* kRoot = "/project/";

std::string WithoutRoot(std::string text) {
  const std::string root = kRoot;
  for (size_t at; (at = text.find(root)) != std::string::npos;) text.erase(at, root.size());
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The section and key of a line of the project file (1-based).
bool LineKey(const std::string& projectText, int wanted, std::string& section, std::string& key,
             std::string& value) {
  std::istringstream in(projectText);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = Trim(line);
    if (!line.empty() && line[0] == '[') section = line.substr(1, line.find(']') - 1);
    if (number != wanted) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
  }
  return false;
}

// A picture's file name out of "NAME[:SECONDS]" or a path.
std::string PictureName(const std::string& value) {
  // A colon has no place in a Windows file name: what follows it are the seconds.
  return BaseName(value.substr(0, value.rfind(':')));
}

std::string FieldOfKey(const std::string& section, const std::string& key,
                       const std::string& value) {
  if (section == "installer") {
    if (key == "name" || key == "display" || key == "accept-licence" || key == "open-readme")
      return key == "accept-licence" ? "licence" : key == "open-readme" ? "readme" : key;
    return "";
  }
  if (section == "files") {
    const std::string role = key.substr(0, key.find('.'));
    if (role == "licence" || role == "readme" || role == "preview" || role == "flash-installer" ||
        role == "screen-saver")
      return role;
    return "";
  }
  if (section == "chunk" && key == "file") return "picture:" + BaseName(value);
  if (section == "show") {
    if (key == "picture") return "picture:" + PictureName(value);
    if (key == "publisher" || key == "version") return key;
    return "show";
  }
  return "";
}

bool Mentions(const std::string& text, const std::string& word) {
  return text.find(word) != std::string::npos;
}

// The streamed data file read into one block of its exact size and let go
// as a file; the installer then takes its bytes from memory (the same bytes).
Status HoldDataFileInMemory(BuildPlan& plan) {
  if (!plan.streamedDataFile) return {};
  const std::string path = plan.streamedDataFile->path;
  for (PlannedEntry& e : plan.entries) {
    if (!e.used || !e.madeHere || e.path != path) continue;
    std::string reason;
    FilePtr in = OpenFile(path, FileMode::kRead, reason);
    if (!in) return Status::Fail(path + ": cannot open: " + reason);
    e.bytes.resize(static_cast<size_t>(e.size));
    if (!e.bytes.empty() &&
        std::fread(e.bytes.data(), 1, e.bytes.size(), in.get()) != e.bytes.size())
      return Status::Fail(path + ": cannot read");
    e.inMemory = true;
    e.madeHere = false;
    e.path.clear();
  }
  plan.streamedDataFile.reset();  // removes the file
  return {};
}

}  // namespace

std::string FieldOfMessage(const std::string& text, const std::string& projectText,
                           const std::vector<std::string>& pictures) {
  // "project.ini:12: ..."
  const size_t ini = text.find(".ini:");
  if (ini != std::string::npos && text.find(' ') > ini) {
    std::string section, key, value;
    if (LineKey(projectText, std::atoi(text.c_str() + ini + 5), section, key, value))
      return FieldOfKey(section, key, value);
  }
  if (Mentions(text, "screen saver name")) return "name";
  if (Mentions(text, "entry 3 (preview)")) return "preview";
  if (Mentions(text, "entry 4 (licence)") || Mentions(text, "licence flag") ||
      Mentions(text, "nobody sees or accepts the licence"))
    return "licence";
  if (Mentions(text, "entry 5 (readme)") || Mentions(text, "read-me flag")) return "readme";
  if (Mentions(text, "entry 2 (flash-installer)")) return "display";
  if (Mentions(text, "entry 6 (screen-saver)")) return "screen-saver";
  for (const std::string& picture : pictures)
    if (!picture.empty() && (Mentions(text, "\"" + picture + "\"") ||
                             Mentions(text, "/" + picture) || Mentions(text, " " + picture)))
      return "picture:" + picture;
  if (Mentions(text, "show layout")) return "show";
  return "";
}

Bytes CarriedFile(const std::string& name) {
  BundledFile bundled;
  if (!FindBundledFile(name, bundled).ok()) return {};
  if (!bundled.path.empty()) ReadWholeFile(bundled.path, bundled.bytes);
  return std::move(bundled.bytes);
}

void BuildInstaller(const BuildProject& project, const InputSource& inputs,
                    const std::string& outPath, BuildOutcome& outcome, const BuildHooks& hooks) {
  PlanBuild(project, inputs, outcome.plan, outcome.findings);
  const bool clean = outcome.findings.errors.empty();
  outcome.planned = (!hooks.checked || hooks.checked(outcome.plan, outcome.findings)) && clean;
  if (!outcome.planned) return;
  outcome.status = WriteInstaller(outcome.plan, inputs, outPath, project.packThreads,
                                  outcome.written, hooks.progress, hooks.step);
}

namespace {

// The page's messages, each tagged with the field of the project it is about.
struct PageMessages {
  CoreResult& result;
  const std::string& projectText;
  std::vector<std::string> pictures;  // the files the project shows, by name

  void Add(CoreMessage::Kind kind, const std::string& raw) {
    const std::string text = WithoutRoot(raw);
    result.messages.push_back({kind, FieldOfMessage(text, projectText, pictures), text});
  }
};

// Parses the project; false (with the errors told) when it does not hold.
bool ReadPageProject(const std::string& projectText, MemoryInputs& inputs, BuildProject& project,
                     PageMessages& messages) {
  std::vector<std::string> errors;
  ParseProjectText(projectText, std::string(kRoot) + "project.ini", {}, project, errors);
  for (const DataFileParts::Chunk& c : project.data.chunks)
    if (!c.copy) messages.pictures.push_back(BaseName(c.path));
  for (const std::string& e : errors) messages.Add(CoreMessage::Kind::kError, e);
  if (!errors.empty()) return false;
  messages.result.outputName = BaseName(project.output);
  // A chunk's file named nowhere else is needed once, by the data file:
  // handed over rather than copied, and let go once packed.
  std::map<std::string, int> uses;
  for (const RoleRequest& role : project.roles) ++uses[role.path];
  for (const DataFileParts::Chunk& c : project.data.chunks) ++uses[c.path];
  ++uses[project.data.settingsPath];
  for (const DataFileParts::Chunk& c : project.data.chunks)
    if (!c.copy && uses[c.path] == 1) inputs.HandOverOnRead(c.path);
  return true;
}

// Once the plan is made: the findings told, and the data file moved into
// memory. False stops the build.
bool TellFindings(const BuildProject& project, const CoreRequest& request, const std::string& out,
                  BuildPlan& plan, Findings& findings, PageMessages& messages) {
  if (!project.signCommand.empty())
    findings.warnings.push_back("the installer is not signed here: sign it with ssbuild build");
  for (const std::string& e : findings.errors) messages.Add(CoreMessage::Kind::kError, e);
  for (const std::string& w : findings.warnings)
    messages.Add(project.werror ? CoreMessage::Kind::kError : CoreMessage::Kind::kWarning, w);
  for (const std::string& n : findings.notes) messages.Add(CoreMessage::Kind::kNote, n);
  if (project.werror && !findings.warnings.empty()) return false;
  // The data file goes into the room the pictures left in the WebAssembly
  // memory, so that it and the installer are not both held as files.
  const Status moved = findings.errors.empty() ? HoldDataFileInMemory(plan) : Status{};
  if (!moved.ok()) messages.Add(CoreMessage::Kind::kError, moved.text());
  // The writer's temporary name (installer_writer.h) and the installer's
  // size were every entry kept stored (an empty entry imploded takes a few).
  if (moved.ok() && request.reserveInstaller) {
    uint64_t most = plan.stub.size() + ssi::kPayloadHeaderSize;
    for (const PlannedEntry& e : plan.entries) most += e.used ? e.size + 16 : 0;
    request.reserveInstaller(out + ".part", most);
  }
  return moved.ok();
}

}  // namespace

void BuildFromMemory(CoreRequest& request, CoreResult& result, const CoreProgress& progress) {
  result = CoreResult{};
  MemoryInputs inputs(kRoot);
  for (CoreRequest::File& f : request.files) inputs.Add(f.name, std::move(f.bytes));
  request.files.clear();

  PageMessages messages{result, request.projectText, {}};
  BuildProject project;
  if (!ReadPageProject(request.projectText, inputs, project, messages)) return;

  if (progress) progress("checking", 0, 0);
  BuildHooks hooks;
  BuildOutcome outcome;
  const std::string out = request.scratchFolder + "/installer.exe";
  hooks.checked = [&](const BuildPlan&, Findings& findings) {
    return TellFindings(project, request, out, outcome.plan, findings, messages);
  };
  hooks.progress = [&](uint64_t done, uint64_t total) {
    if (progress) progress("packing", done, total);
  };
  project.packThreads = 1;  // the page has one thread
  project.scratchFolder = request.scratchFolder;
  BuildInstaller(project, inputs, out, outcome, hooks);
  if (!outcome.planned) return;
  Status status = outcome.status;
  if (status.ok() && request.leaveInstallerFile) {
    result.installerPath = out;
    result.ok = true;
    return;
  }
  // Its size known, the installer is read into one block of that size: a
  // vector grown piece by piece would double past it, in a WebAssembly
  // memory that never shrinks.
  result.installer.reserve(static_cast<size_t>(outcome.written.fileSize));
  if (status.ok()) status = ReadWholeFile(out, result.installer);
  std::remove(out.c_str());
  if (!status.ok()) {
    messages.Add(CoreMessage::Kind::kError, status.text());
    result.installer.clear();
    return;
  }
  result.ok = true;
}

}  // namespace ssbuild
