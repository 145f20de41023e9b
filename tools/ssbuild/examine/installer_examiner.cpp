#include "installer_examiner.h"

#include "compression.h"
#include "data_file_examiner.h"
#include "installer_builder.h"
#include "path_rules.h"
#include "payload_offset_field.h"
#include "payload_roles.h"
#include "stub_marker.h"

namespace ssbuild {
namespace {

std::string Where(size_t index, const ssi::PayloadEntry& e) {
  std::string text = "entry " + std::to_string(index);
  if (!e.name.empty()) text += " (" + e.name + ")";
  return text + ": ";
}

bool LandsInSaverDir(int32_t kind) { return kind == 1 || kind == 4 || kind == 5 || kind == 6; }

void CheckStub(const Bytes& image, const InstallerView& view, std::vector<std::string>& problems) {
  const std::vector<size_t> markers = FindPayloadOffsetMarkers(image, view.payloadOffset);
  if (markers.size() != 1) {
    problems.push_back("stub: the payload offset marker occurs " + std::to_string(markers.size()) +
                       " times; it must occur once");
  } else if (markers[0] + ssi::kPayloadOffsetFieldSize > view.payloadOffset) {
    problems.push_back("stub: the payload offset field is cut off by the payload");
  } else if (ReadPayloadOffsetField(image, markers[0]) != view.payloadOffset) {
    problems.push_back("stub: the payload offset field holds " +
                       std::to_string(ReadPayloadOffsetField(image, markers[0])) +
                       ", not the stub size " + std::to_string(view.payloadOffset));
  }
  const ssi::PayloadEntry& e = view.header.entries[ssi::entry::kStub];
  const auto size = static_cast<int32_t>(view.payloadOffset);
  if (e.name != "install.exe" || e.startOffset != 0 || e.endOffset != size - 1 || e.kind != 6 ||
      e.compressed != 0 || e.storedSize != 0 || e.expandedSize != size)
    problems.push_back(Where(0, e) + "must describe the stub: \"install.exe\", 0.." +
                       std::to_string(size - 1) + ", kind 6, stored, StoredSize 0, ExpandedSize " +
                       std::to_string(size));
}

void CheckRole(size_t index, const ssi::PayloadEntry& e, const std::string& saverName,
               std::vector<std::string>& problems) {
  const std::string where = Where(index, e);
  const int role = static_cast<int>(index);
  const std::string nameProblem = CheckRoleName(role, e.name, saverName);
  if (!nameProblem.empty()) problems.push_back(where + "the name " + nameProblem);
  if (e.kind < 1 || e.kind > 6) {
    problems.push_back(where + "kind " + std::to_string(e.kind) + " has no destination");
    return;
  }
  const bool saverDir = LandsInSaverDir(e.kind);
  if ((role == ssi::entry::kCompressionLibrary || role == ssi::entry::kFlashInstaller) &&
      e.kind != 3)
    problems.push_back(where + "must be kind 3 (Windows directory, fixed name)");
  else if (role == ssi::entry::kSaverProgram && e.kind != 2)
    problems.push_back(where + "must be kind 2 (Windows directory)");
  else if (role != ssi::entry::kCompressionLibrary && role != ssi::entry::kFlashInstaller &&
           role != ssi::entry::kSaverProgram && !saverDir)
    problems.push_back(where + "kind " + std::to_string(e.kind) +
                       " does not land in the screen saver's folder");
  if (role == ssi::entry::kCompressionLibrary && e.compressed != 0)
    problems.push_back(where + "the compression library must be stored");
}

void CheckSizes(const Bytes& image, size_t index, const ssi::PayloadEntry& e,
                std::vector<std::string>& problems) {
  const std::string where = Where(index, e);
  const int64_t length = e.Length();
  if (e.compressed == 0) {
    if (e.storedSize != 0) problems.push_back(where + "stored, so StoredSize must be 0");
    if (e.expandedSize != length)
      problems.push_back(where + "stored, so ExpandedSize must be its length " +
                         std::to_string(length));
  } else if (e.storedSize != length) {
    problems.push_back(where + "StoredSize " + std::to_string(e.storedSize) +
                       " is not its length " + std::to_string(length));
  }
  Bytes content;
  const Status status = EntryContent(image, e, content);
  if (!status.ok()) {
    problems.push_back(where + status.text());
    return;
  }
  if (index == ssi::entry::kDataFile)
    for (const std::string& p : VerifyDataFile(content)) problems.push_back(where + p);
}

void CheckCompleteness(const ssi::PayloadHeader& h, std::vector<std::string>& problems) {
  for (size_t i : {size_t{1}, size_t{6}, size_t{7}, size_t{8}, size_t{9}, size_t{10}})
    if (h.entries[i].IsEmpty())
      problems.push_back("entry " + std::to_string(i) + " (" + RoleName(static_cast<int>(i)) +
                         ") is missing: the installer would stop with \"Unspecified error\"");
  if (h.licenceFlag != 0 && h.entries[ssi::entry::kLicence].IsEmpty())
    problems.push_back("the licence flag is set but entry 4 (licence) is missing");
  if (h.readMeFlag != 0 && h.entries[ssi::entry::kReadMe].IsEmpty())
    problems.push_back("the read-me flag is set but entry 5 (readme) is missing");
  if (h.displayMode >= 1 && h.displayMode <= 3 && h.entries[ssi::entry::kPreview].IsEmpty())
    problems.push_back("DisplayMode " + std::to_string(h.displayMode) +
                       " shows a preview but entry 3 (preview) is missing");
}

}  // namespace

Status ReadInstaller(const Bytes& image, std::optional<uint32_t> forcedOffset, InstallerView& out) {
  out = InstallerView{};
  uint32_t offset = 0;
  if (forcedOffset) {
    offset = *forcedOffset;
  } else {
    const std::vector<size_t> markers = FindPayloadOffsetMarkers(image, image.size());
    if (markers.empty())
      return Status::Fail("no payload offset marker found (give the offset with --payload-offset)");
    if (markers[0] + ssi::kPayloadOffsetFieldSize > image.size())
      return Status::Fail("the payload offset field is cut off at the end of the file");
    offset = ReadPayloadOffsetField(image, markers[0]);
  }
  if (static_cast<uint64_t>(offset) + ssi::kPayloadHeaderSize > image.size())
    return Status::Fail("the payload header at " + std::to_string(offset) +
                        " does not fit into the file of " + std::to_string(image.size()) +
                        " bytes");
  out.payloadOffset = offset;
  out.header = ssi::ParsePayloadHeader(image.data() + offset);
  return {};
}

bool LooksLikeInstaller(const Bytes& image) {
  InstallerView view;
  if (!ReadInstaller(image, std::nullopt, view).ok()) return false;
  // The field must belong to the stub, in front of the payload.
  const std::vector<size_t> markers = FindPayloadOffsetMarkers(image, image.size());
  return markers[0] + ssi::kPayloadOffsetFieldSize <= view.payloadOffset;
}

Status EntryBytes(const Bytes& image, const ssi::PayloadEntry& entry, Bytes& out) {
  out.clear();
  const int64_t length = entry.Length();
  if (entry.startOffset < 0 || length <= 0 ||
      static_cast<int64_t>(entry.endOffset) >= static_cast<int64_t>(image.size()))
    return Status::Fail("bytes " + std::to_string(entry.startOffset) + ".." +
                        std::to_string(entry.endOffset) + " lie outside the file of " +
                        std::to_string(image.size()) + " bytes");
  const uint8_t* begin = image.data() + static_cast<size_t>(entry.startOffset);
  out.assign(begin, begin + static_cast<size_t>(length));
  return {};
}

Status EntryContent(const Bytes& image, const ssi::PayloadEntry& entry, Bytes& out) {
  Bytes stored;
  const Status status = EntryBytes(image, entry, stored);
  if (!status.ok() || entry.compressed == 0) {
    out = std::move(stored);
    return status;
  }
  if (entry.expandedSize < 0) return Status::Fail("negative ExpandedSize");
  return ExplodeExactly(stored.data(), stored.size(), static_cast<size_t>(entry.expandedSize), out);
}

std::vector<std::string> VerifyInstaller(const Bytes& image, const InstallerView& view,
                                         const VerifyOptions& options) {
  std::vector<std::string> problems;
  const ssi::PayloadHeader& h = view.header;
  if (image.size() > kMaxInstallerSize)
    problems.push_back("the file is larger than 2 GiB - 1; offsets are signed 32-bit");
  CheckStub(image, view, problems);
  const std::string saver = h.SaverName();
  if (saver.empty() || !ssi::IsValidSaverName(saver))
    problems.push_back("the screen saver name \"" + saver + "\" is not a valid folder name");

  // Used entries follow one another from the end of the header to the end of
  // the file; each empty entry points where the next used one begins.
  int64_t expected =
      static_cast<int64_t>(view.payloadOffset) + static_cast<int64_t>(ssi::kPayloadHeaderSize);
  std::vector<size_t> emptyWaiting;
  auto settleEmpty = [&](int64_t at) {
    for (size_t i : emptyWaiting) {
      const ssi::PayloadEntry& e = h.entries[i];
      if (e.startOffset != at || e.endOffset != at)
        problems.push_back(Where(i, e) + "empty, so StartOffset and EndOffset must both be " +
                           std::to_string(at));
    }
    emptyWaiting.clear();
  };
  for (size_t i = kFirstRole; i <= kLastRole; ++i) {
    const ssi::PayloadEntry& e = h.entries[i];
    if (e.IsEmpty()) {
      emptyWaiting.push_back(i);
      continue;
    }
    settleEmpty(e.startOffset);
    const std::string where = Where(i, e);
    if (e.startOffset != expected)
      problems.push_back(where + "starts at " + std::to_string(e.startOffset) + ", expected " +
                         std::to_string(expected) + " (no gaps, index order)");
    CheckSizes(image, i, e, problems);
    CheckRole(i, e, saver, problems);
    expected = static_cast<int64_t>(e.endOffset) + 1;
  }
  settleEmpty(static_cast<int64_t>(image.size()));
  if (expected != static_cast<int64_t>(image.size()))
    problems.push_back("the last entry ends at " + std::to_string(expected - 1) +
                       ", but the file's last byte is " + std::to_string(image.size() - 1));
  if (!options.allowIncomplete) CheckCompleteness(h, problems);
  return problems;
}

}  // namespace ssbuild
