#include "installer_builder.h"

#include <array>
#include <cstring>

#include "data_file_examiner.h"
#include "path_rules.h"
#include "payload_roles.h"
#include "stub_marker.h"

namespace ssbuild {
namespace {

// "entry 3 (preview, movie.swf)": how messages name an entry.
std::string Describe(int index, const EntrySource& source) {
  std::string text = "entry " + std::to_string(index) + " (" + RoleName(index);
  if (!source.sourcePath.empty()) text += ", " + source.sourcePath;
  return text + ")";
}

std::string EntryName(int index, const InstallerInput& input) {
  const EntrySource& source = input.entries[static_cast<size_t>(index)];
  return source.name.empty() ? DefaultEntryName(index, input.saverName, source.sourcePath)
                             : source.name;
}

bool Used(const InstallerInput& input, int index) {
  return input.entries[static_cast<size_t>(index)].used;
}

Status CheckCompleteness(const InstallerInput& input) {
  const char* const hint = " (allow it with --allow-incomplete)";
  for (int i : {1, 6, 7, 8, 9, 10})
    if (!Used(input, i))
      return Status::Fail("entry " + std::to_string(i) + " (" + RoleName(i) +
                          ") is missing: the installer would stop with \"Unspecified error\"" +
                          hint);
  if (input.licenceFlag && !Used(input, ssi::entry::kLicence))
    return Status::Fail(std::string("the licence flag is set but entry 4 (licence) is missing") +
                        hint);
  if (input.readMeFlag && !Used(input, ssi::entry::kReadMe))
    return Status::Fail(std::string("the read-me flag is set but entry 5 (readme) is missing") +
                        hint);
  if (input.displayMode >= 1 && input.displayMode <= 3 && !Used(input, ssi::entry::kPreview))
    return Status::Fail("DisplayMode " + std::to_string(input.displayMode) +
                        " shows a preview but entry 3 (preview) is missing" + hint);
  const EntrySource& data = input.entries[ssi::entry::kDataFile];
  const std::vector<std::string> problems = VerifyDataFile(data.bytes);
  if (!problems.empty())
    return Status::Fail(Describe(ssi::entry::kDataFile, data) + ": " + problems.front() + hint);
  return {};
}

using PackedEntries = std::array<PackedBytes, ssi::kPayloadEntryCount>;

// Packs every used entry, side by side; `total` becomes the size of the
// whole installer.
Status PackEntries(const InstallerInput& input, uint64_t stubSize, PackedEntries& packed,
                   uint64_t& total) {
  std::vector<PackJob> jobs;
  for (int i = kFirstRole; i <= kLastRole; ++i) {
    const EntrySource& source = input.entries[static_cast<size_t>(i)];
    if (!source.used) continue;
    if (source.bytes.size() > kMaxInstallerSize)
      return Status::Fail(Describe(i, source) + ": larger than 2 GiB - 1");
    PackJob job;
    job.data = &source.bytes;
    job.choice = source.compression;
    if (i == ssi::entry::kCompressionLibrary) job.choice.implode = false;
    // An empty file stored would give an entry of length 0, which the stub refuses.
    job.forceImplode = source.bytes.empty();
    jobs.push_back(std::move(job));
  }
  PackAll(jobs, input.packThreads);
  total = stubSize + ssi::kPayloadHeaderSize;
  size_t next = 0;
  for (int i = kFirstRole; i <= kLastRole; ++i) {
    const EntrySource& source = input.entries[static_cast<size_t>(i)];
    if (!source.used) continue;
    PackJob& job = jobs[next++];
    if (!job.status.ok()) return Status::Fail(Describe(i, source) + ": " + job.status.text());
    packed[static_cast<size_t>(i)] = std::move(job.out);
    total += packed[static_cast<size_t>(i)].stored.size();
  }
  if (total > kMaxInstallerSize)
    return Status::Fail("the installer would be " + std::to_string(total) +
                        " bytes; offsets are signed 32-bit, so at most 2147483647 fit");
  return {};
}

// The header's flags and entries: the stub, then the used entries one after
// the other behind the header, and the empty ones pointing at the next used
// entry's first byte.
void LayOutHeader(const InstallerInput& input, uint32_t payloadOffset, const PackedEntries& packed,
                  ssi::PayloadHeader& h) {
  h.displayMode = static_cast<uint8_t>(input.displayMode);
  h.licenceFlag = input.licenceFlag ? 1 : 0;
  h.readMeFlag = input.readMeFlag ? 1 : 0;
  h.displayPropertiesFlag = input.displayPropertiesFlag ? 1 : 0;
  h.SetSaverName(input.saverName);

  ssi::PayloadEntry& stubEntry = h.entries[ssi::entry::kStub];
  stubEntry.name = DefaultEntryName(ssi::entry::kStub, {}, {});
  stubEntry.startOffset = 0;
  stubEntry.endOffset = static_cast<int32_t>(payloadOffset) - 1;
  stubEntry.kind = RoleKind(ssi::entry::kStub);
  stubEntry.expandedSize = static_cast<int32_t>(payloadOffset);

  int32_t pos = static_cast<int32_t>(payloadOffset + ssi::kPayloadHeaderSize);
  for (int i = kFirstRole; i <= kLastRole; ++i) {
    const auto slot = static_cast<size_t>(i);
    if (!input.entries[slot].used) continue;
    const PackedBytes& p = packed[slot];
    const auto length = static_cast<int32_t>(p.stored.size());
    ssi::PayloadEntry& e = h.entries[slot];
    e.name = EntryName(i, input);
    e.startOffset = pos;
    e.endOffset = pos + length - 1;
    e.kind = RoleKind(i);
    e.compressed = p.compressed ? 1 : 0;
    e.storedSize = p.compressed ? length : 0;
    e.expandedSize = static_cast<int32_t>(input.entries[slot].bytes.size());
    pos += length;
  }
  int32_t next = pos;
  for (int i = kLastRole; i >= kFirstRole; --i) {
    ssi::PayloadEntry& e = h.entries[static_cast<size_t>(i)];
    if (input.entries[static_cast<size_t>(i)].used) {
      next = e.startOffset;
      continue;
    }
    e = ssi::PayloadEntry{};
    e.startOffset = next;
    e.endOffset = next;
    e.kind = 5;
    e.compressed = 1;
  }
}

// The header and the packed entries behind the stub already in `image`.
void AppendPayload(const ssi::PayloadHeader& h, const PackedEntries& packed, size_t total,
                   Bytes& image) {
  image.reserve(total);
  uint8_t header[ssi::kPayloadHeaderSize];
  ssi::SerializePayloadHeader(h, header);
  image.insert(image.end(), header, header + sizeof header);
  for (int i = kFirstRole; i <= kLastRole; ++i) {
    const Bytes& bytes = packed[static_cast<size_t>(i)].stored;
    image.insert(image.end(), bytes.begin(), bytes.end());
  }
}

}  // namespace

Status CheckInstallerInput(const InstallerInput& input) {
  if (input.displayMode < 0 || input.displayMode > 255)
    return Status::Fail("DisplayMode " + std::to_string(input.displayMode) + " is outside 0..255");
  const std::string& saver = input.saverName;
  if (saver.empty()) return Status::Fail("the screen saver name is empty");
  if (saver.size() > ssi::kSaverNameFieldSize)
    return Status::Fail("the screen saver name \"" + saver + "\" is " +
                        std::to_string(saver.size()) + " bytes long; at most 64 fit");
  if (!ssi::IsValidSaverName(saver))
    return Status::Fail("the screen saver name \"" + saver + "\" is not a valid folder name");
  if (input.stub.size() >= kMaxInstallerSize)
    return Status::Fail(input.stubPath + ": too large for a stub");
  for (int i = kFirstRole; i <= kLastRole; ++i) {
    const EntrySource& source = input.entries[static_cast<size_t>(i)];
    if (!source.used) continue;
    const std::string name = EntryName(i, input);
    if (name.empty()) return Status::Fail(Describe(i, source) + ": no entry name given");
    const std::string problem = CheckRoleName(i, name, saver);
    if (!problem.empty())
      return Status::Fail(Describe(i, source) + ": the name \"" + name + "\" " + problem);
    if (i == ssi::entry::kCompressionLibrary && source.bytes.empty())
      return Status::Fail(Describe(i, source) +
                          ": is empty; the library is stored, and the stub refuses an entry of "
                          "length 0");
  }
  if (!input.allowIncomplete) return CheckCompleteness(input);
  return {};
}

Status BuildInstaller(const InstallerInput& input, BuiltInstaller& out) {
  out = BuiltInstaller{};
  Status status = CheckInstallerInput(input);
  if (!status.ok()) return status;

  Bytes stub = input.stub;
  status = StampPayloadOffset(stub);
  if (!status.ok()) return Status::Fail(input.stubPath + ": " + status.text());

  // Pack every used entry first, so the offsets can be laid out in one pass.
  PackedEntries packed{};
  uint64_t total = 0;
  status = PackEntries(input, stub.size(), packed, total);
  if (!status.ok()) return status;

  out.payloadOffset = static_cast<uint32_t>(stub.size());
  LayOutHeader(input, out.payloadOffset, packed, out.header);
  out.image = std::move(stub);
  AppendPayload(out.header, packed, static_cast<size_t>(total), out.image);
  return {};
}

}  // namespace ssbuild
