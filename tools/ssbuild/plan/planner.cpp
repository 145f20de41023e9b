#include "planner.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "bundled_files.h"
#include "cli_show.h"
#include "code_page.h"
#include "console_text.h"
#include "data_file_examiner.h"
#include "data_file_stream.h"
#include "file_kinds.h"
#include "input_source.h"
#include "installer_builder.h"
#include "installer_text.h"
#include "native_file.h"
#include "path_rules.h"
#include "payload_roles.h"
#include "plan_branding.h"
#include "plan_pictures.h"
#include "stub_marker.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

// A stub is a small program; anything larger is the wrong file.
constexpr uint64_t kStubMax = 16u << 20;

std::string Describe(int role) {
  return "entry " + std::to_string(role) + " (" + RoleWord(role) + ")";
}

// "project.ini:12: " for a setting of a project file; options name themselves.
std::string At(const std::string& origin) {
  return origin.empty() || origin.rfind("--", 0) == 0 ? std::string() : origin + ": ";
}

class Planner {
 public:
  Planner(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
          Findings& findings)
      : p_(project),
        in_(inputs),
        plan_(plan),
        f_(findings),
        text_(project.codePage.value_or(kDefaultCodePage), project.origins, findings.errors) {}

  void Run() {
    Header();
    const size_t errors = f_.errors.size();
    Stub();
    if (f_.errors.size() == errors) BrandPlannedStub(p_, in_, plan_, f_);
    Output();
    for (int role = kFirstRole; role <= kLastRole; ++role) AuthorFile(role);
    ConvertPreview(p_, in_, plan_, f_);
    CheckShowPictures(p_, in_, f_);
    DataFileFromParts();
    Library();
    Completeness();
    StandIns();
    ShowLayoutIntoDataFile();
    ContentWarnings();
    SameDestination();
    for (const std::string& text : p_.repeated) f_.warnings.push_back(text);
  }

 private:
  // Errors that make the install fail become warnings with --allow-incomplete.
  void Incomplete(const std::string& text) {
    if (p_.allowIncomplete)
      f_.warnings.push_back(text);
    else
      f_.errors.push_back(text + " (allow it with --allow-incomplete)");
  }
  // The size of a regular file, or the problem with it in the system's words.
  bool StatFile(const std::string& path, uint64_t& size, std::string& problem) const {
    return in_.Stat(path, size, problem);
  }
  PlannedEntry& Entry(int role) { return plan_.entries[static_cast<size_t>(role)]; }
  bool Used(int role) const { return plan_.entries[static_cast<size_t>(role)].used; }
  // Given, even when the file itself is at fault: that fault is reported
  // already, and the role should not be reported missing as well.
  bool Given(int role) const { return given_[static_cast<size_t>(role)] || Used(role); }

  // Names and texts come in UTF-8 and go to the installer in its code page.
  bool ToCodePage(std::string& text, bool multiLine, const std::string& what,
                  const std::string& key = {}) {
    return text_.Convert(text, multiLine, what, key);
  }
  std::string Origin(const std::string& key) const {
    const auto found = p_.origins.find(key);
    return found == p_.origins.end() ? std::string() : At(found->second);
  }

  // The output's folder must be there: said now, with the project line,
  // rather than after everything is packed.
  void Output() {
    // A build from memory (the web page) writes to a scratch file of its own.
    if (p_.output.empty() || !in_.IsDisk()) return;
    const fs::path folder = FsPath(p_.output).parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec))
      f_.errors.push_back(Origin("output") + p_.output + ": cannot create: the folder " +
                          Utf8Path(folder) + " does not exist");
  }

  void Header() {
    plan_.displayMode = p_.displayMode.value_or(0);
    plan_.licenceFlag = p_.Flag(p_.licenceFlag);
    plan_.readMeFlag = p_.Flag(p_.readMeFlag);
    plan_.displayPropertiesFlag = p_.Flag(p_.displayPropertiesFlag);
    if (!p_.saverName) {
      f_.errors.push_back(
          "no screen saver name: give --saver-name NAME, or name = in the [installer] section");
      return;
    }
    utf8Saver_ = *p_.saverName;
    plan_.saverName = utf8Saver_;
    if (!ToCodePage(plan_.saverName, false, "the screen saver name \"" + utf8Saver_ + "\"",
                    "name")) {
      saverNameFailed_ = true;
      return;
    }
    const std::string& saver = plan_.saverName;
    if (saver.empty())
      f_.errors.push_back(Origin("name") + "the screen saver name is empty");
    else if (saver.size() > ssi::kSaverNameFieldSize)
      f_.errors.push_back(Origin("name") + "the screen saver name \"" + utf8Saver_ + "\" is " +
                          std::to_string(saver.size()) + " bytes long; at most 64 fit");
    else if (!ssi::IsValidSaverName(saver))
      f_.errors.push_back(Origin("name") + "the screen saver name \"" + utf8Saver_ +
                          "\" is not a valid folder name");
  }

  void Stub() {
    std::string path = p_.stubPath;
    if (path.empty()) {
      BundledFile bundled;
      const Status status = FindBundledFile(kStubFileName, bundled);
      if (!status.ok()) {
        f_.errors.push_back(status.text() + "; give the stub with --stub");
        return;
      }
      plan_.stubLabel = bundled.label;
      if (bundled.path.empty())
        plan_.stub = std::move(bundled.bytes);
      else
        path = bundled.path;
    }
    if (!path.empty()) {
      plan_.stubLabel = path;
      uint64_t size = 0;
      std::string problem;
      if (!StatFile(path, size, problem)) {
        f_.errors.push_back(Origin("stub") + "the stub: " + problem);
        return;
      }
      if (size > kStubMax) {
        f_.errors.push_back(path + ": " + std::to_string(size) +
                            " bytes is far too large for the installer stub");
        return;
      }
      const Status status = ReadInput(in_, path, plan_.stub);
      if (!status.ok()) {
        f_.errors.push_back(status.text());
        return;
      }
    }
    const Status status = StampPayloadOffset(plan_.stub);
    if (!status.ok()) f_.errors.push_back(plan_.stubLabel + ": " + status.text());
  }

  void AuthorFile(int role) {
    const RoleRequest& request = p_.roles[static_cast<size_t>(role)];
    if (request.path.empty()) return;
    PlannedEntry& e = Entry(role);
    e.label = request.path;
    given_[static_cast<size_t>(role)] = true;
    std::string problem;
    if (!StatFile(request.path, e.size, problem)) {
      f_.errors.push_back(At(request.origin) + Describe(role) + ": " + problem);
      return;
    }
    if (e.size > kMaxInstallerSize) {
      f_.errors.push_back(Describe(role) + ": " + request.path + " is " + std::to_string(e.size) +
                          " bytes; an installer holds at most 2147483647");
      return;
    }
    e.used = true;
    e.path = request.path;
    e.compression =
        request.compression.value_or(p_.defaultCompression.value_or(CompressionChoice{}));
    e.name = request.entryName.empty() ? DefaultEntryName(role, utf8Saver_, request.path)
                                       : request.entryName;
    CheckName(role);
    if (role == ssi::entry::kDataFile) CheckDataFile(e);
    if (role == ssi::entry::kLicence || role == ssi::entry::kReadMe) ConvertText(role, e);
  }

  void CheckName(int role) {
    PlannedEntry& e = Entry(role);
    if (e.name.empty()) {
      f_.errors.push_back(Describe(role) + ": no entry name");
      return;
    }
    // A name made from a screen saver name that did not convert is no news.
    if (saverNameFailed_ && e.name.find(utf8Saver_) != std::string::npos) return;
    if (!ToCodePage(e.name, false, Describe(role) + ": the name \"" + e.name + "\"",
                    std::string(RoleWord(role)) + ".name"))
      return;
    const std::string problem = CheckRoleName(role, e.name, plan_.saverName);
    if (!problem.empty())
      f_.errors.push_back(Origin(std::string(RoleWord(role)) + ".name") + Describe(role) +
                          ": the name \"" + ShownName(e.name) + "\" " + problem);
  }

  // The licence and the read-me are read whole (texts are small) to be
  // converted; the licence, shown in an edit box that breaks lines only at
  // CR LF, gets CR LF line ends.
  void ConvertText(int role, PlannedEntry& e) {
    if (e.size > kConvertedTextMax) {
      f_.notes.push_back(Describe(role) + ": " + e.path +
                         " is larger than 16 MiB; it goes in without conversion");
      return;
    }
    Bytes bytes;
    const Status status = ReadInput(in_, e.path, bytes);
    if (!status.ok()) {
      f_.errors.push_back(At(p_.roles[static_cast<size_t>(role)].origin) + Describe(role) + ": " +
                          status.text());
      return;
    }
    std::string text(bytes.begin(), bytes.end());
    if (!text_.ConvertAt(text, true, Describe(role) + ": " + e.path,
                         p_.roles[static_cast<size_t>(role)].origin))
      return;
    if (role == ssi::entry::kLicence) text = WithCrLf(text);
    e.inMemory = true;
    e.bytes.assign(text.begin(), text.end());
    e.size = e.bytes.size();
  }

  void CheckDataFile(const PlannedEntry& e) {
    if (e.size > kCheckedDataFileMax) {
      f_.notes.push_back("entry 8 (data-file): " + e.path +
                         " is larger than 64 MiB; its chunks were not checked");
      return;
    }
    Bytes bytes;
    const Status status = ReadInput(in_, e.path, bytes);
    if (!status.ok()) {
      f_.errors.push_back("entry 8 (data-file): " + status.text());
      return;
    }
    for (const std::string& problem : VerifyDataFile(bytes))
      Incomplete("entry 8 (data-file): " + e.path + ": " + problem +
                 "; the install would fail while unpacking it");
  }

  void DataFileFromParts() {
    if (!p_.data.any) return;
    if (!p_.roles[ssi::entry::kDataFile].path.empty()) {
      f_.errors.push_back("give the data file either as a file or by its parts (chunks), not both");
      return;
    }
    PlannedEntry& e = Entry(ssi::entry::kDataFile);
    DataFileParts parts = p_.data;
    parts.defaultCompression = p_.defaultCompression;
    parts.packThreads = p_.packThreads;
    parts.level = p_.level;
    // Every file and name is checked before the data file is built, so that
    // each problem is said once, at its line, and none follows from another.
    bool fine = true;
    if (!parts.settingsPath.empty()) {
      uint64_t size = 0;
      std::string problem;
      if (!StatFile(parts.settingsPath, size, problem)) {
        f_.errors.push_back(Origin("settings") + "the settings record: " + problem);
        fine = false;
      }
    }
    for (DataFileParts::Chunk& chunk : parts.chunks) {
      std::string& name = chunk.copy ? chunk.path : chunk.name;
      if (!chunk.copy && !chunk.path.empty()) {
        uint64_t size = 0;
        std::string problem;
        if (!StatFile(chunk.path, size, problem)) {
          f_.errors.push_back(At(chunk.origin) + "chunk: " + problem);
          fine = false;
        }
      }
      if (name.empty()) name = BaseName(chunk.path);
      if (!text_.ConvertAt(name, false, "the chunk name \"" + name + "\"", chunk.origin))
        fine = false;
    }
    if (!fine) {
      dataFileFailed_ = true;
      return;
    }
    // Large chunks go through a file beside the output, not through memory.
    const bool streamed =
        ChunkBytes(parts, in_) > kStreamedChunksMin && !p_.output.empty() && f_.errors.empty();
    if (streamed) {
      auto file = std::make_shared<StreamedDataFile>();
      const std::string path =
          (p_.scratchFolder.empty() ? p_.output : p_.scratchFolder + "/" + BaseName(p_.output)) +
          ".part-data";
      const Status status = WriteDataFileFromParts(parts, in_, path, file->head);
      if (!status.ok()) {
        f_.errors.push_back("data file: " + status.text());
        dataFileFailed_ = true;
        return;
      }
      file->path = path;
      std::error_code ec;
      e.size = fs::file_size(FsPath(file->path), ec);
      e.path = file->path;
      plan_.streamedDataFile = std::move(file);
    } else {
      const Status status = BuildDataFileFromParts(parts, in_, e.bytes);
      if (!status.ok()) {
        f_.errors.push_back("data file: " + status.text());
        dataFileFailed_ = true;
        return;
      }
      e.size = e.bytes.size();
    }
    const RoleRequest& request = p_.roles[ssi::entry::kDataFile];
    e.used = true;
    e.inMemory = !streamed;
    e.madeHere = streamed;
    e.label = "the data file made from its chunks";
    e.compression =
        request.compression.value_or(p_.defaultCompression.value_or(CompressionChoice{}));
    e.name = request.entryName.empty() ? utf8Saver_ + ".ssd" : request.entryName;
    CheckName(ssi::entry::kDataFile);
  }

  void Library() {
    PlannedEntry& e = Entry(ssi::entry::kCompressionLibrary);
    if (!e.used && p_.roles[ssi::entry::kCompressionLibrary].path.empty()) {
      BundledFile bundled;
      const Status status = FindBundledFile(kLibraryFileName, bundled);
      if (!status.ok()) {
        Incomplete("entry 1 (compression-library) is missing and " + status.text());
        return;
      }
      e.used = true;
      e.label = bundled.label;
      e.name = p_.roles[1].entryName.empty() ? DefaultEntryName(1, {}, {}) : p_.roles[1].entryName;
      if (bundled.path.empty()) {
        e.inMemory = true;
        e.bytes = std::move(bundled.bytes);
        e.size = e.bytes.size();
      } else {
        e.path = bundled.path;
        std::string problem;
        if (!StatFile(e.path, e.size, problem)) f_.errors.push_back(problem);
      }
      f_.notes.push_back("entry 1 (compression-library): none given; " + bundled.label +
                         " goes in, landing as impborl.dll in the Windows folder");
      CheckName(ssi::entry::kCompressionLibrary);
    }
    e.compression = CompressionChoice{false, false, 4096};  // the stub loads it before expanding
    if (e.used && e.size == 0)
      f_.errors.push_back(
          "entry 1 (compression-library) is empty; the library is stored, and the stub refuses "
          "an entry of length 0");
  }

  void Completeness() {
    if (!Given(ssi::entry::kSaverProgram))
      Incomplete(
          "entry 6 (screen-saver) is missing: an installer needs the screen saver program "
          "(--screen-saver FILE, or screen-saver = in [files])");
    if (plan_.licenceFlag && !Given(ssi::entry::kLicence))
      Incomplete("the licence flag is set but entry 4 (licence) is missing");
    if (plan_.readMeFlag && !Given(ssi::entry::kReadMe))
      Incomplete("the read-me flag is set but entry 5 (readme) is missing");
    const int mode = plan_.displayMode;
    if (mode >= 1 && mode <= 3 && !Given(ssi::entry::kPreview))
      f_.errors.push_back(
          "display mode " + std::to_string(mode) +
          " shows a preview but entry 3 (preview) is missing: add preview = FILE to [files] (" +
          (mode == 1 ? "a BMP picture" : "a Flash movie") +
          ", 350 x 150 pixels fill its panel) or give --preview FILE; or set display = none");
    // The silent install runs the Flash check before anything else and stops
    // with "Unspecified error" when it finds no player and no installer.
    if (mode == 4 && !Given(ssi::entry::kFlashInstaller))
      Incomplete(
          "a silent install needs entry 2 (flash-installer): without a Flash player on the "
          "system it stops before writing anything");
    if ((mode == 2 || mode == 3) && !Given(ssi::entry::kFlashInstaller))
      f_.warnings.push_back(
          "a movie preview without entry 2 (flash-installer): where no Flash player is "
          "installed the installer cannot show the movie");
  }

  // The show layout, publisher and version live in the data file's settings
  // record, so the data file is written from memory when they are given.
  void ShowLayoutIntoDataFile() {
    ShowOptions show = PlannedShow(p_, plan_);
    if (!show.any && !PreviewMayJoinShow(plan_, show)) return;
    if (!text_.ConvertShow(show)) return;
    PlannedEntry& e = Entry(ssi::entry::kDataFile);
    // A data file that was given but failed is reported already.
    if (dataFileFailed_ || (Given(ssi::entry::kDataFile) && !e.used)) return;
    if (!e.used) {
      f_.errors.push_back(
          "the show layout, publisher and version go into the data file: give one (a [chunk] "
          "section, or data-file = in [files])");
      return;
    }
    const bool streamed = plan_.streamedDataFile != nullptr;
    if (!e.inMemory && !streamed) {
      if (e.size > kCheckedDataFileMax) {
        if (show.any)
          f_.errors.push_back("entry 8 (data-file): " + e.path +
                              " is larger than 64 MiB; a show layout cannot be written into it");
        return;
      }
      const Status read = ReadInput(in_, e.path, e.bytes);
      if (!read.ok()) {
        f_.errors.push_back("entry 8 (data-file): " + read.text());
        return;
      }
      e.inMemory = true;
      e.size = e.bytes.size();
    }
    Bytes& image = streamed ? plan_.streamedDataFile->head : e.bytes;
    KeepPreviewOutOfShow(plan_, image, show, f_);
    if (!show.any) return;
    std::string warnings;
    Status status = ApplyShowOptions(show, image, warnings);
    if (status.ok() && streamed) status = WriteSettingsRecordInto(e.path, image);
    if (!status.ok()) f_.errors.push_back("entry 8 (data-file): " + status.text());
    size_t start = 0;
    // The preview is no chunk, but it lands in the folder all the same.
    const std::string preview = " names " + PreviewLandingName(plan_) + ",";
    for (size_t end; (end = warnings.find('\n', start)) != std::string::npos; start = end + 1)
      if (warnings.find(preview, start) >= end || preview == " names ,")
        f_.warnings.push_back(warnings.substr(start, end - start));
  }

  void StandIns() {
    if (p_.allowIncomplete || plan_.saverName.empty()) return;
    if (!Given(ssi::entry::kDataFile) && !p_.data.any) {
      PlannedEntry& e = Entry(ssi::entry::kDataFile);
      e.used = e.inMemory = true;
      e.bytes.assign(ssi::kSettingsRecordSize, 0);
      e.size = e.bytes.size();
      e.name = utf8Saver_ + ".ssd";
      e.label = "an empty data file";
      if (!saverNameFailed_) ToCodePage(e.name, false, "the data file's name", "name");
      f_.notes.push_back("entry 8 (data-file): none given; an empty data file " +
                         ShownName(e.name) +
                         " goes in (no chunks; the screen saver's settings file saver.dat "
                         "holds zeros)");
    }
    for (int role :
         {ssi::entry::kFurtherFile, ssi::entry::kSupportLibrary1, ssi::entry::kSupportLibrary2}) {
      if (Given(role)) continue;
      PlannedEntry& e = Entry(role);
      e.used = e.inMemory = true;
      e.name = kStandInName;
      e.label = "an empty stand-in";
      e.standIn = true;
      f_.notes.push_back(Describe(role) + ": none given; an empty " + e.name +
                         " goes in, which the install replaces with the settings file");
    }
  }

  void ContentWarnings() {
    const int mode = plan_.displayMode;
    const PlannedEntry& preview = Entry(ssi::entry::kPreview);
    if (preview.used && !preview.inMemory) {
      const Bytes head = ReadInputHead(in_, preview.path, kSniffSize);
      std::string problem;
      if (mode == 1) problem = BitmapProblem(head, preview.size);
      if (mode == 2 || mode == 3) problem = FlashMovieProblem(head);
      if (!problem.empty())
        f_.warnings.push_back("entry 3 (preview): " + preview.path + ": " + problem +
                              ", so the installer window cannot show it");
    }
    if (preview.used && (mode < 1 || mode > 3))
      f_.warnings.push_back("entry 3 (preview) is given, but display mode " + std::to_string(mode) +
                            " shows no preview (use picture or movie)");
    if (Used(ssi::entry::kLicence) && !plan_.licenceFlag)
      f_.warnings.push_back(
          "entry 4 (licence) is given without the licence flag, so the installer never shows it");
    if (Used(ssi::entry::kReadMe) && !plan_.readMeFlag)
      f_.warnings.push_back(
          "entry 5 (readme) is given without the read-me flag, so the installer never writes it");
    if (mode == 4 && (plan_.licenceFlag || Used(ssi::entry::kLicence)))
      f_.warnings.push_back(
          "a silent install shows no window, so nobody sees or accepts the licence");
    const PlannedEntry& saver = Entry(ssi::entry::kSaverProgram);
    if (saver.used && !saver.inMemory) {
      const std::string problem = Win32ProgramProblem(ReadInputHead(in_, saver.path, kSniffSize));
      if (!problem.empty())
        f_.warnings.push_back("entry 6 (screen-saver): " + saver.path + ": " + problem +
                              ", so Windows cannot run it");
    }
  }

  // Two entries landing on the same file: the later one replaces the earlier.
  void SameDestination() {
    std::map<std::string, int> seen;
    for (int role = kFirstRole; role <= kLastRole; ++role) {
      const PlannedEntry& e = Entry(role);
      if (!e.used || e.standIn || e.name.empty()) continue;
      const auto where = ssi::EntryDestination(RoleKind(role), e.name, "W\\", "S\\");
      if (!where) continue;
      const std::string key = ssi::AsciiLower(*where);
      if (key == "s\\" + std::string(kStandInName))
        f_.warnings.push_back(Describe(role) + " lands as " + kStandInName +
                              ", which the install replaces with the screen saver's settings");
      const auto [it, fresh] = seen.emplace(key, role);
      if (!fresh)
        f_.warnings.push_back(Describe(role) + " lands on the same file as " +
                              Describe(it->second) + " (" + ShownName(e.name) + "), replacing it");
    }
  }

  const BuildProject& p_;
  const InputSource& in_;
  BuildPlan& plan_;
  Findings& f_;
  std::array<bool, ssi::kPayloadEntryCount> given_{};
  InstallerText text_;
  bool dataFileFailed_ = false;
  std::string utf8Saver_;  // the name as given, for the default entry names
  bool saverNameFailed_ = false;
};

}  // namespace

void PlanBuild(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
               Findings& findings) {
  plan = BuildPlan{};
  findings = Findings{};
  Planner(project, inputs, plan, findings).Run();
  for (int role = kFirstRole; role <= kLastRole; ++role) {
    PlannedEntry& e = plan.entries[static_cast<size_t>(role)];
    e.kind = RoleKind(role);
    if (e.inMemory && e.size == 0) e.compression = CompressionChoice{};  // imploded: see Pack
    e.compression.level = project.level;
  }
}

}  // namespace ssbuild
