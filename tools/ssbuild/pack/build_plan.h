#pragma once
// Turns what an author asked for (build_project.h) into what the installer
// will hold, checking everything before a byte is written: every problem is
// collected, none stops the others from being found. File sizes come from
// the file system; of the files only their first bytes are read (the stub,
// the data file up to kCheckedDataFileMax and a data file built from parts
// are read whole).
//
// Roles the stub needs but the author left out are filled in:
//   entry 1  the impborl.dll that ssbuild carries (or finds beside itself);
//   entry 8  an empty data file NAME.ssd (zero settings, no chunks), which the
//            install unpacks to nothing and deletes afterwards;
//   7, 9, 10 an empty file named saver.dat, which lands in the screen saver's
//            folder and is replaced by the settings file at the end of the
//            install, so nothing of it remains.
// Entry 6, the screen saver program, has no stand-in: it is an error.
//
// Names (the screen saver's, entries', chunks') and the licence and read-me
// texts are converted from UTF-8 to the installer's code page (code_page.h);
// the licence gets CR LF line ends.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "build_project.h"
#include "byte_file.h"
#include "compression.h"
#include "payload_format.h"

namespace ssbuild {

// The file the stand-ins for entries 7, 9 and 10 are named after.
constexpr const char* kStandInName = "saver.dat";
// A data file given whole is checked chunk by chunk only up to this size.
constexpr uint64_t kCheckedDataFileMax = 64u << 20;
// Larger licences and read-mes go in as they are.
constexpr uint64_t kConvertedTextMax = 16u << 20;

struct Findings {
  std::vector<std::string> errors;
  std::vector<std::string> warnings;
  std::vector<std::string> notes;  // what the builder filled in
};

struct PlannedEntry {
  bool used = false;
  std::string name;
  int32_t kind = 5;
  CompressionChoice compression;
  std::string path;  // streamed from this file, or
  Bytes bytes;       // written from memory when `inMemory`
  bool inMemory = false;
  bool madeHere = false;  // `path` is the build's own file, not one of the author's inputs
  uint64_t size = 0;      // the file's size as the file system gave it
  std::string label;      // names the source in messages
  bool standIn = false;   // filled in by the builder, to be replaced during the install
};

struct StreamedDataFile;  // data_file_stream.h

struct BuildPlan {
  Bytes stub;  // its payload offset field stamped
  std::string stubLabel;
  std::string saverName;
  int displayMode = 0;
  bool licenceFlag = false;
  bool readMeFlag = false;
  bool displayPropertiesFlag = false;
  std::array<PlannedEntry, ssi::kPayloadEntryCount> entries{};  // [0] unused
  // A data file made from large chunks, written beside the output while
  // planning and streamed from there as entry 8; removed with the plan.
  std::shared_ptr<StreamedDataFile> streamedDataFile;
};

// Fills `plan` and `findings`; the plan is usable only without errors.
void PlanBuild(const BuildProject& project, BuildPlan& plan, Findings& findings);

}  // namespace ssbuild
