#include "plan_pictures.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "data_file_examiner.h"
#include "file_kinds.h"
#include "input_source.h"
#include "path_rules.h"
#include "picture_image.h"

namespace ssbuild {
namespace {

// A show picture is decoded whole, to check it, only below these, so a
// picture chunk of any size stays within the builder's memory budget; larger
// ones are checked by header. (Any picture above kDecodablePixelsMax of
// picture_image.cpp is refused outright.)
constexpr uint64_t kDecodedFileMax = 24u << 20;
constexpr uint64_t kCheckedWholePixelsMax = 8u << 20;
// Enough for any header, JPEG's after large metadata blocks included.
constexpr size_t kPictureHeadSize = 256u << 10;

std::string Where(const std::string& origin) { return origin.empty() ? "" : origin + ": "; }

std::string Size(const PictureFacts& facts) {
  return std::string(PictureFormatName(facts.format)) + ", " + std::to_string(facts.width) + "x" +
         std::to_string(facts.height);
}

// The settings record holds a layout already, or nothing in its free bytes.
bool LayoutMayBeWritten(const Bytes& dataFile) {
  if (dataFile.size() < ssi::kSettingsRecordSize) return false;
  if (std::equal(dataFile.begin(), dataFile.begin() + 4, "SSLY")) return true;
  for (size_t i = 0; i < ssi::kSettingsRecordSize; ++i) {
    const bool owned = (i >= 212 && i < 216) || (i >= 1192 && i < 1196);  // the installer's
    if (!owned && dataFile[i] != 0) return false;
  }
  return true;
}

}  // namespace

void ConvertPreview(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
                    Findings& findings) {
  PlannedEntry& e = plan.entries[ssi::entry::kPreview];
  if (!e.used || e.inMemory || plan.displayMode != 1) return;
  if (e.size == 0) {
    findings.errors.push_back(Where(project.roles[ssi::entry::kPreview].origin) +
                              "entry 3 (preview): " + e.path +
                              ": the file is empty (0 bytes); give the picture itself");
    return;
  }
  const Bytes head = ReadInputHead(inputs, e.path, kSniffSize);
  const PictureFormat format = SniffPicture(head);
  if (format == PictureFormat::kBmp && BitmapProblem(head, e.size).empty()) return;
  if (!SaverShowsFormat(format)) return;  // the planner's warning says what it is
  const std::string where =
      Where(project.roles[ssi::entry::kPreview].origin) + "entry 3 (preview): " + e.path + ": ";
  if (e.size > kDecodedFileMax) {
    findings.errors.push_back(where + "larger than 24 MiB; give a smaller picture");
    return;
  }
  Bytes file;
  Status status = ReadInput(inputs, e.path, file);
  Bytes bmp;
  PictureFacts facts;
  if (status.ok()) status = MakePreviewBitmap(file, project.previewBackground, bmp, facts);
  if (!status.ok()) {
    findings.errors.push_back(where + status.text());
    return;
  }
  e.bytes = std::move(bmp);
  e.inMemory = true;
  e.size = e.bytes.size();
  findings.notes.push_back("entry 3 (preview): " + e.path + " (" + Size(facts) +
                           ") goes in as the " + std::to_string(kPreviewWidth) + "x" +
                           std::to_string(kPreviewHeight) +
                           " 24-bit BMP the installer window shows");
}

void CheckShowPictures(const BuildProject& project, const InputSource& inputs,
                       Findings& findings) {
  std::set<std::string> listed;
  for (const ssi::ShowPicture& p : project.show.layout.pictures)
    listed.insert(ssi::AsciiLower(p.name));
  size_t index = 0;
  for (const DataFileParts::Chunk& chunk : project.data.chunks) {
    ++index;
    if (chunk.copy || chunk.path.empty()) continue;
    const std::string name = chunk.name.empty() ? BaseName(chunk.path) : chunk.name;
    const bool shown =
        listed.empty() ? LooksLikePicture(name) : listed.count(ssi::AsciiLower(name)) > 0;
    if (!shown) continue;
    const std::string where =
        Where(chunk.origin) + "chunk " + std::to_string(index) + ": " + chunk.path + ": ";
    uint64_t size = 0;
    std::string problem;
    const bool sized = inputs.Stat(chunk.path, size, problem);
    if (sized && size == 0) {
      // A picture saved half-way or a download that failed: the show would
      // get an empty chunk and show nothing in its place.
      findings.errors.push_back(where + "the file is empty (0 bytes); give the picture itself");
      continue;
    }
    Bytes bytes = ReadInputHead(inputs, chunk.path, kPictureHeadSize);
    if (bytes.empty()) continue;  // missing: reported where the chunks are read
    PictureFacts facts;
    Status status = CheckPictureHeader(bytes, facts);
    const uint64_t pixels = uint64_t(facts.width) * uint64_t(facts.height);
    if (status.ok() && sized && size <= kDecodedFileMax && pixels <= kCheckedWholePixelsMax) {
      // Through a stream, not ReadInput: a build from memory hands a
      // chunk's bytes over to the one whole read that packs it.
      if (bytes.size() < size) {
        bytes = ReadInputHead(inputs, chunk.path, static_cast<size_t>(size));
        if (bytes.size() != size) status = Status::Fail("cannot read");
      }
      if (status.ok()) status = CheckPicture(bytes, facts);
    }
    if (!status.ok())
      findings.errors.push_back(where + status.text());
    else if (!SaverShowsExtension(name) && listed.empty())
      findings.errors.push_back(where + PictureFormatName(facts.format) +
                                " named so that the screen saver's folder scan skips it: name it "
                                ".bmp, .png, .jpg or .gif, or list it in [show]");
  }
}

std::string PreviewLandingName(const BuildPlan& plan) {
  const PlannedEntry& preview = plan.entries[ssi::entry::kPreview];
  if (plan.displayMode != 1 || !preview.used || preview.name.empty()) return {};
  return ssi::PreviewBitmapName(preview.name);
}

ShowOptions PlannedShow(const BuildProject& project, const BuildPlan& plan) {
  ShowOptions show = project.show;
  const std::string landing = PreviewLandingName(plan);
  if (!landing.empty()) {
    // Unless a chunk of that name lands there too.
    const std::string entryName = ssi::AsciiLower(plan.entries[ssi::entry::kPreview].name);
    const bool chunkToo = std::any_of(
        project.data.chunks.begin(), project.data.chunks.end(), [&](const DataFileParts::Chunk& c) {
          return !c.copy &&
                 ssi::AsciiLower(c.name.empty() ? BaseName(c.path) : c.name) == entryName;
        });
    for (ssi::ShowPicture& p : show.layout.pictures)
      if (!chunkToo && ssi::AsciiLower(p.name) == entryName) p.name = landing;
  }
  const VersionStrings& v = project.installerVersion;
  if (!v.publisher.empty() && show.layout.publisher.empty()) {
    show.layout.publisher = v.publisher;
    show.any = true;
  }
  if (!v.version.empty() && show.layout.displayVersion.empty()) {
    show.layout.displayVersion = v.version;
    show.any = true;
  }
  return show;
}

bool PreviewMayJoinShow(const BuildPlan& plan, const ShowOptions& show) {
  const PlannedEntry& preview = plan.entries[ssi::entry::kPreview];
  return plan.displayMode == 1 && preview.used && show.layout.pictures.empty() &&
         plan.entries[ssi::entry::kDataFile].used;
}

bool KeepPreviewOutOfShow(const BuildPlan& plan, const Bytes& dataFile, ShowOptions& show,
                          Findings& findings) {
  if (!PreviewMayJoinShow(plan, show)) return false;
  DataFileView view;
  if (!ReadDataFile(dataFile, view).ok()) return false;
  const std::string preview = ssi::AsciiLower(PreviewLandingName(plan));
  std::vector<std::string> names;
  for (const ssi::ChunkEntry& entry : view.entries) {
    if (ssi::IsPlainFileName(entry.name) && SaverShowsExtension(entry.name) &&
        ssi::AsciiLower(entry.name) != preview)
      names.push_back(entry.name);
  }
  if (names.empty()) return false;  // nothing to show but the preview
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  const std::string joins = "the installer's preview lands in the screen saver's folder, ";
  if (!show.any && !LayoutMayBeWritten(dataFile)) {
    findings.warnings.push_back(joins +
                                "and the data file's settings record is the author's own, so "
                                "the slide show shows the preview too: list the pictures in "
                                "[show]");
    return false;
  }
  ShowOptions listed = show;
  if (!show.any && dataFile.size() >= ssi::kSettingsRecordSize) {
    // A layout the data file carries already keeps what it says (timings,
    // publisher, version); one that lists pictures or plays a movie shows
    // no folder, so the preview cannot join it.
    ssi::SettingsRecord record;
    std::copy(dataFile.begin(), dataFile.begin() + ssi::kSettingsRecordSize,
              record.bytes.begin());
    ssi::ShowLayout own;
    if (ssi::ReadShowLayout(record, own) == ssi::LayoutState::kRead) {
      if (!own.pictures.empty() || own.show != ssi::ShowKind::kPictures) return false;
      listed.layout = own;
    }
  }
  for (const std::string& name : names) listed.layout.pictures.push_back({name, 0});
  ssi::SettingsRecord record;
  std::string error;
  if (!ssi::WriteShowLayout(listed.layout, record, error)) {
    findings.warnings.push_back(joins + "and the data file's pictures do not fit the show " +
                                "layout's list (" + error +
                                "), so the slide show shows the preview too");
    return false;
  }
  listed.any = true;
  show = listed;
  findings.notes.push_back(joins + "so the show layout lists the data file's " +
                           std::to_string(names.size()) +
                           " pictures by name to keep it out of the slide show");
  return true;
}

}  // namespace ssbuild
