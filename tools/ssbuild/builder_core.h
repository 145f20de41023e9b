#pragma once
// The builder with nothing around it: an author's inputs (the project file's
// text and its files as named byte buffers) in, the installer's bytes and the
// builder's messages out, each message tagged with the field of the project
// it concerns. The web page calls it; it runs the same parser, planner and
// writer as `ssbuild build PROJECT.ini`, so the same inputs give the same
// bytes. Whatever converts or checks a file inside the planner (pictures,
// previews) applies here too, since files are read through input_source.h.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "byte_file.h"

namespace ssbuild {

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
};

struct CoreResult {
  bool ok = false;
  Bytes installer;
  std::string outputName;  // what the project calls the installer
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
