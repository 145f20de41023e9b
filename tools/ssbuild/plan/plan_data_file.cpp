#include <filesystem>
#include <memory>
#include <system_error>

#include "cli_show.h"
#include "data_file_stream.h"
#include "native_file.h"
#include "plan_pictures.h"
#include "plan_state.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

// Every file and name is checked before the data file is built, so that
// each problem is said once, at its line, and none follows from another.
// The chunks' names are made final (their files' names by default, in the
// installer's code page).
bool CheckDataFileParts(PlanState& s, DataFileParts& parts) {
  bool fine = true;
  if (!parts.settingsPath.empty()) {
    uint64_t size = 0;
    std::string problem;
    if (!s.StatFile(parts.settingsPath, size, problem)) {
      s.findings.errors.push_back(s.Origin("settings") + "the settings record: " + problem);
      fine = false;
    }
  }
  for (DataFileParts::Chunk& chunk : parts.chunks) {
    std::string& name = chunk.copy ? chunk.path : chunk.name;
    if (!chunk.copy && !chunk.path.empty()) {
      uint64_t size = 0;
      std::string problem;
      if (!s.StatFile(chunk.path, size, problem)) {
        s.findings.errors.push_back(At(chunk.origin) + "chunk: " + problem);
        fine = false;
      }
    }
    if (name.empty()) name = BaseName(chunk.path);
    if (!s.text.ConvertAt(name, false, "the chunk name \"" + name + "\"", chunk.origin))
      fine = false;
  }
  return fine;
}

// Builds the data file into `e`: in memory, or, when its chunks are large, in
// a file beside the output (or in the scratch folder) that the writer
// streams from. False when it failed, which is said.
bool MakeDataFile(PlanState& s, const DataFileParts& parts, PlannedEntry& e, bool& streamed) {
  streamed = ChunkBytes(parts, s.inputs) > kStreamedChunksMin && !s.project.output.empty() &&
             s.findings.errors.empty();
  Status status;
  if (streamed) {
    auto file = std::make_shared<StreamedDataFile>();
    const BuildProject& p = s.project;
    const std::string path =
        (p.scratchFolder.empty() ? p.output : p.scratchFolder + "/" + BaseName(p.output)) +
        ".part-data";
    status = WriteDataFileFromParts(parts, s.inputs, path, file->head);
    if (status.ok()) {
      file->path = path;
      std::error_code ec;
      e.size = fs::file_size(FsPath(file->path), ec);
      e.path = file->path;
      s.plan.streamedDataFile = std::move(file);
    }
  } else {
    status = BuildDataFileFromParts(parts, s.inputs, e.bytes);
    if (status.ok()) e.size = e.bytes.size();
  }
  if (status.ok()) return true;
  s.findings.errors.push_back("data file: " + status.text());
  s.dataFileFailed = true;
  return false;
}

}  // namespace

void PlanDataFileFromParts(PlanState& s) {
  if (!s.project.data.any) return;
  if (!s.project.roles[ssi::entry::kDataFile].path.empty()) {
    s.findings.errors.push_back(
        "give the data file either as a file or by its parts (chunks), not both");
    return;
  }
  PlannedEntry& e = s.Entry(ssi::entry::kDataFile);
  DataFileParts parts = s.project.data;
  parts.defaultCompression = s.project.defaultCompression;
  parts.packThreads = s.project.packThreads;
  parts.level = s.project.level;
  if (!CheckDataFileParts(s, parts)) {
    s.dataFileFailed = true;
    return;
  }
  bool streamed = false;
  if (!MakeDataFile(s, parts, e, streamed)) return;
  const RoleRequest& request = s.project.roles[ssi::entry::kDataFile];
  e.used = true;
  e.inMemory = !streamed;
  e.madeHere = streamed;
  e.label = "the data file made from its chunks";
  e.compression =
      request.compression.value_or(s.project.defaultCompression.value_or(CompressionChoice{}));
  e.name = request.entryName.empty() ? s.utf8Saver + ".ssd" : request.entryName;
  CheckEntryName(s, ssi::entry::kDataFile);
}

// The show layout, publisher and version live in the data file's settings
// record, so the data file is written from memory when they are given.
void PlanShowLayout(PlanState& s) {
  ShowOptions show = PlannedShow(s.project, s.plan);
  if (!show.any && !PreviewMayJoinShow(s.plan, show)) return;
  if (!s.text.ConvertShow(show)) return;
  PlannedEntry& e = s.Entry(ssi::entry::kDataFile);
  // A data file that was given but failed is reported already.
  if (s.dataFileFailed || (s.Given(ssi::entry::kDataFile) && !e.used)) return;
  if (!e.used) {
    s.findings.errors.push_back(
        "the show layout, publisher and version go into the data file: give one (a [chunk] "
        "section, or data-file = in [files])");
    return;
  }
  const bool streamed = s.plan.streamedDataFile != nullptr;
  if (!e.inMemory && !streamed) {
    if (e.size > kCheckedDataFileMax) {
      if (show.any)
        s.findings.errors.push_back(
            "entry 8 (data-file): " + e.path +
            " is larger than 64 MiB; a show layout cannot be written into it");
      return;
    }
    const Status read = ReadInput(s.inputs, e.path, e.bytes);
    if (!read.ok()) {
      s.findings.errors.push_back("entry 8 (data-file): " + read.text());
      return;
    }
    e.inMemory = true;
    e.size = e.bytes.size();
  }
  Bytes& image = streamed ? s.plan.streamedDataFile->head : e.bytes;
  KeepPreviewOutOfShow(s.plan, image, show, s.findings);
  if (!show.any) return;
  std::string warnings;
  Status status = ApplyShowOptions(show, image, warnings);
  if (status.ok() && streamed) status = WriteSettingsRecordInto(e.path, image);
  if (!status.ok()) s.findings.errors.push_back("entry 8 (data-file): " + status.text());
  size_t start = 0;
  // The preview is no chunk, but it lands in the folder all the same.
  const std::string preview = " names " + PreviewLandingName(s.plan) + ",";
  for (size_t end; (end = warnings.find('\n', start)) != std::string::npos; start = end + 1)
    if (warnings.find(preview, start) >= end || preview == " names ,")
      s.findings.warnings.push_back(warnings.substr(start, end - start));
}

}  // namespace ssbuild
