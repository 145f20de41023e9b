#pragma once
// The builder with nothing around it. BuildInstaller is the one way from an
// author's request to an installer: `ssbuild build` calls it with the files
// on the disk, the web page (through BuildFromMemory) with the files in
// memory; both get the same planner and writer, so the same inputs give the
// same bytes. Whatever converts or checks a file inside the planner
// (pictures, previews) applies to both, since files are read through the
// InputSource given.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "build_plan.h"
#include "build_project.h"
#include "byte_file.h"
#include "input_source.h"
#include "installer_writer.h"
#include "planner.h"

namespace ssbuild {

struct BuildHooks {
  // Once the plan is made, before anything is written: the caller reports
  // the findings (and may add its own). False stops the build there.
  std::function<bool(const BuildPlan& plan, Findings& findings)> checked;
  ProgressFn progress;
  StepFn step;
};

struct BuildOutcome {
  BuildPlan plan;
  Findings findings;
  bool planned = false;  // the plan held and `checked` let it go on
  Status status;         // of writing
  WrittenInstaller written;
  bool ok() const { return planned && status.ok(); }
};

// Plans `project`, reading its files through `inputs`, and writes the
// installer to `outPath` (project.packThreads packing side by side; the
// bytes are the same for any count).
void BuildInstaller(const BuildProject& project, const InputSource& inputs,
                    const std::string& outPath, BuildOutcome& outcome, const BuildHooks& hooks);

// The page's front end: the project file's text and its files as named byte
// buffers in, the installer's bytes and the builder's messages out, each
// message tagged with the field of the project it concerns.

struct CoreMessage {
  enum class Kind { kError, kWarning, kNote };
  Kind kind = Kind::kError;
  // What the message is about, in the project's own terms:
  //   "name", "display", "licence", "readme", "preview", "publisher",
  //   "version", "show" (seconds, transition, order), "flash-installer",
  //   "screen-saver", "picture:FILE" (one picture, by its file name),
  //   "" (the build as a whole).
  std::string field;
  std::string text;  // the words `ssbuild build` prints after "ssbuild: "
};

struct CoreRequest {
  std::string projectText;  // project.ini
  struct File {
    std::string name;  // as the project file names it, relative to it
    Bytes bytes;
  };
  std::vector<File> files;
  // Where the installer is put together before its bytes are handed back
  // (the writer seeks back to fill in the header): the page's in-memory
  // file system, or a temporary folder.
  std::string scratchFolder = "/tmp";
  // The installer is left in the scratch folder (CoreResult::installerPath)
  // rather than read into `installer`: the page takes it from there, so it
  // is not held twice.
  bool leaveInstallerFile = false;
  // Told, once the plan holds and before anything is written, the file the
  // writer puts the installer together in and the most bytes it can reach:
  // an in-memory file system can set that room aside rather than grow the
  // file by copies.
  std::function<void(const std::string& path, uint64_t most)> reserveInstaller;
};

struct CoreResult {
  bool ok = false;
  Bytes installer;
  std::string installerPath;  // with leaveInstallerFile
  std::string outputName;     // what the project calls the installer
  std::vector<CoreMessage> messages;
};

// Called with a stage ("checking", "packing") and the input bytes packed so
// far and their total (0 when unknown).
using CoreProgress = std::function<void(const std::string& stage, uint64_t done, uint64_t total)>;

// Builds the installer. `request.files` is consumed.
void BuildFromMemory(CoreRequest& request, CoreResult& result, const CoreProgress& progress = {});

// The field a message concerns: from the line of the project file it names
// ("project.ini:12: ...") or from its words. `pictures` are the files the
// project shows, matched by name.
std::string FieldOfMessage(const std::string& text, const std::string& projectText,
                           const std::vector<std::string>& pictures);

// A file the builder carries (install.exe, impborl.dll, sample.scr); empty
// when it carries none.
Bytes CarriedFile(const std::string& name);

}  // namespace ssbuild
