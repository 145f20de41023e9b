#pragma once
// What a build will write: every entry with its source and compression, and
// the stub. The planner fills it (planner.h); the writer packs it
// (installer_writer.h).
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

}  // namespace ssbuild
