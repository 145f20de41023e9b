#include <filesystem>
#include <system_error>

#include "bundled_files.h"
#include "code_page.h"
#include "console_text.h"
#include "data_file_examiner.h"
#include "installer_builder.h"
#include "native_file.h"
#include "path_rules.h"
#include "payload_roles.h"
#include "plan_state.h"
#include "stub_marker.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

// A stub is a small program; anything larger is the wrong file.
constexpr uint64_t kStubMax = 16u << 20;

// The licence and the read-me are read whole (texts are small) to be
// converted; the licence, shown in an edit box that breaks lines only at
// CR LF, gets CR LF line ends.
void ConvertText(PlanState& s, int role, PlannedEntry& e) {
  if (e.size > kConvertedTextMax) {
    s.findings.notes.push_back(Describe(role) + ": " + e.path +
                               " is larger than 16 MiB; it goes in without conversion");
    return;
  }
  Bytes bytes;
  const Status status = ReadInput(s.inputs, e.path, bytes);
  if (!status.ok()) {
    s.findings.errors.push_back(At(s.project.roles[static_cast<size_t>(role)].origin) +
                                Describe(role) + ": " + status.text());
    return;
  }
  std::string text(bytes.begin(), bytes.end());
  if (!s.text.ConvertAt(text, true, Describe(role) + ": " + e.path,
                        s.project.roles[static_cast<size_t>(role)].origin))
    return;
  if (role == ssi::entry::kLicence) text = WithCrLf(text);
  e.inMemory = true;
  e.bytes.assign(text.begin(), text.end());
  e.size = e.bytes.size();
}

void CheckGivenDataFile(PlanState& s, const PlannedEntry& e) {
  if (e.size > kCheckedDataFileMax) {
    s.findings.notes.push_back("entry 8 (data-file): " + e.path +
                               " is larger than 64 MiB; its chunks were not checked");
    return;
  }
  Bytes bytes;
  const Status status = ReadInput(s.inputs, e.path, bytes);
  if (!status.ok()) {
    s.findings.errors.push_back("entry 8 (data-file): " + status.text());
    return;
  }
  for (const std::string& problem : VerifyDataFile(bytes))
    s.Incomplete("entry 8 (data-file): " + e.path + ": " + problem +
                 "; the install would fail while unpacking it");
}

}  // namespace

void PlanHeader(PlanState& s) {
  s.plan.displayMode = s.project.displayMode.value_or(0);
  s.plan.licenceFlag = s.project.Flag(s.project.licenceFlag);
  s.plan.readMeFlag = s.project.Flag(s.project.readMeFlag);
  s.plan.displayPropertiesFlag = s.project.Flag(s.project.displayPropertiesFlag);
  if (!s.project.saverName) {
    s.findings.errors.push_back(
        "no screen saver name: give --saver-name NAME, or name = in the [installer] section");
    return;
  }
  s.utf8Saver = *s.project.saverName;
  s.plan.saverName = s.utf8Saver;
  if (!s.ToCodePage(s.plan.saverName, false, "the screen saver name \"" + s.utf8Saver + "\"",
                    "name")) {
    s.saverNameFailed = true;
    return;
  }
  const std::string& saver = s.plan.saverName;
  if (saver.empty())
    s.findings.errors.push_back(s.Origin("name") + "the screen saver name is empty");
  else if (saver.size() > ssi::kSaverNameFieldSize)
    s.findings.errors.push_back(s.Origin("name") + "the screen saver name \"" + s.utf8Saver +
                                "\" is " + std::to_string(saver.size()) +
                                " bytes long; at most 64 fit");
  else if (!ssi::IsValidSaverName(saver))
    s.findings.errors.push_back(s.Origin("name") + "the screen saver name \"" + s.utf8Saver +
                                "\" is not a valid folder name");
}

void PlanStub(PlanState& s) {
  std::string path = s.project.stubPath;
  if (path.empty()) {
    BundledFile bundled;
    const Status status = FindBundledFile(kStubFileName, bundled);
    if (!status.ok()) {
      s.findings.errors.push_back(status.text() + "; give the stub with --stub");
      return;
    }
    s.plan.stubLabel = bundled.label;
    if (bundled.path.empty())
      s.plan.stub = std::move(bundled.bytes);
    else
      path = bundled.path;
  }
  if (!path.empty()) {
    s.plan.stubLabel = path;
    uint64_t size = 0;
    std::string problem;
    if (!s.StatFile(path, size, problem)) {
      s.findings.errors.push_back(s.Origin("stub") + "the stub: " + problem);
      return;
    }
    if (size > kStubMax) {
      s.findings.errors.push_back(path + ": " + std::to_string(size) +
                                  " bytes is far too large for the installer stub");
      return;
    }
    const Status status = ReadInput(s.inputs, path, s.plan.stub);
    if (!status.ok()) {
      s.findings.errors.push_back(status.text());
      return;
    }
  }
  const Status status = StampPayloadOffset(s.plan.stub);
  if (!status.ok()) s.findings.errors.push_back(s.plan.stubLabel + ": " + status.text());
}

// The output's folder must be there: said now, with the project line,
// rather than after everything is packed.
void CheckOutputFolder(PlanState& s) {
  // A build from memory (the web page) writes to a scratch file of its own.
  if (s.project.output.empty() || !s.inputs.IsDisk()) return;
  const fs::path folder = FsPath(s.project.output).parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::is_directory(folder, ec))
    s.findings.errors.push_back(s.Origin("output") + s.project.output +
                                ": cannot create: the folder " + Utf8Path(folder) +
                                " does not exist");
}

void PlanAuthorFile(PlanState& s, int role) {
  const RoleRequest& request = s.project.roles[static_cast<size_t>(role)];
  if (request.path.empty()) return;
  PlannedEntry& e = s.Entry(role);
  e.label = request.path;
  s.given[static_cast<size_t>(role)] = true;
  std::string problem;
  if (!s.StatFile(request.path, e.size, problem)) {
    s.findings.errors.push_back(At(request.origin) + Describe(role) + ": " + problem);
    return;
  }
  if (e.size > kMaxInstallerSize) {
    s.findings.errors.push_back(Describe(role) + ": " + request.path + " is " +
                                std::to_string(e.size) +
                                " bytes; an installer holds at most 2147483647");
    return;
  }
  e.used = true;
  e.path = request.path;
  e.compression =
      request.compression.value_or(s.project.defaultCompression.value_or(CompressionChoice{}));
  e.name = request.entryName.empty() ? DefaultEntryName(role, s.utf8Saver, request.path)
                                     : request.entryName;
  CheckEntryName(s, role);
  if (role == ssi::entry::kDataFile) CheckGivenDataFile(s, e);
  if (role == ssi::entry::kLicence || role == ssi::entry::kReadMe) ConvertText(s, role, e);
}

void CheckEntryName(PlanState& s, int role) {
  PlannedEntry& e = s.Entry(role);
  if (e.name.empty()) {
    s.findings.errors.push_back(Describe(role) + ": no entry name");
    return;
  }
  // A name made from a screen saver name that did not convert is no news.
  if (s.saverNameFailed && e.name.find(s.utf8Saver) != std::string::npos) return;
  if (!s.ToCodePage(e.name, false, Describe(role) + ": the name \"" + e.name + "\"",
                    std::string(RoleWord(role)) + ".name"))
    return;
  const std::string problem = CheckRoleName(role, e.name, s.plan.saverName);
  if (!problem.empty())
    s.findings.errors.push_back(s.Origin(std::string(RoleWord(role)) + ".name") + Describe(role) +
                                ": the name \"" + ShownName(e.name) + "\" " + problem);
}

void PlanLibrary(PlanState& s) {
  PlannedEntry& e = s.Entry(ssi::entry::kCompressionLibrary);
  if (!e.used && s.project.roles[ssi::entry::kCompressionLibrary].path.empty()) {
    BundledFile bundled;
    const Status status = FindBundledFile(kLibraryFileName, bundled);
    if (!status.ok()) {
      s.Incomplete("entry 1 (compression-library) is missing and " + status.text());
      return;
    }
    e.used = true;
    e.label = bundled.label;
    e.name = s.project.roles[1].entryName.empty() ? DefaultEntryName(1, {}, {})
                                                  : s.project.roles[1].entryName;
    if (bundled.path.empty()) {
      e.inMemory = true;
      e.bytes = std::move(bundled.bytes);
      e.size = e.bytes.size();
    } else {
      e.path = bundled.path;
      std::string problem;
      if (!s.StatFile(e.path, e.size, problem)) s.findings.errors.push_back(problem);
    }
    s.findings.notes.push_back("entry 1 (compression-library): none given; " + bundled.label +
                               " goes in, landing as impborl.dll in the Windows folder");
    CheckEntryName(s, ssi::entry::kCompressionLibrary);
  }
  e.compression = CompressionChoice{false, false, 4096};  // the stub loads it before expanding
  if (e.used && e.size == 0)
    s.findings.errors.push_back(
        "entry 1 (compression-library) is empty; the library is stored, and the stub refuses "
        "an entry of length 0");
}

void PlanStandIns(PlanState& s) {
  if (s.project.allowIncomplete || s.plan.saverName.empty()) return;
  if (!s.Given(ssi::entry::kDataFile) && !s.project.data.any) {
    PlannedEntry& e = s.Entry(ssi::entry::kDataFile);
    e.used = e.inMemory = true;
    e.bytes.assign(ssi::kSettingsRecordSize, 0);
    e.size = e.bytes.size();
    e.name = s.utf8Saver + ".ssd";
    e.label = "an empty data file";
    if (!s.saverNameFailed) s.ToCodePage(e.name, false, "the data file's name", "name");
    s.findings.notes.push_back("entry 8 (data-file): none given; an empty data file " +
                               ShownName(e.name) +
                               " goes in (no chunks; the screen saver's settings file saver.dat "
                               "holds zeros)");
  }
  // One note for all of them: the same words three times read as three problems.
  std::vector<int> filled;
  for (int role :
       {ssi::entry::kFurtherFile, ssi::entry::kSupportLibrary1, ssi::entry::kSupportLibrary2}) {
    if (s.Given(role)) continue;
    PlannedEntry& e = s.Entry(role);
    e.used = e.inMemory = true;
    e.name = kStandInName;
    e.label = "an empty stand-in";
    e.standIn = true;
    filled.push_back(role);
  }
  if (filled.empty()) return;
  std::string which = filled.size() == 1 ? Describe(filled[0]) : "entries ";
  for (size_t i = 0; filled.size() > 1 && i < filled.size(); ++i)
    which += (i == 0 ? "" : i + 1 == filled.size() ? " and " : ", ") + std::to_string(filled[i]);
  s.findings.notes.push_back(which + ": none given; an empty " + std::string(kStandInName) +
                             (filled.size() == 1 ? " goes in" : " goes in for each") +
                             ", which the install replaces with the settings file");
}

}  // namespace ssbuild
