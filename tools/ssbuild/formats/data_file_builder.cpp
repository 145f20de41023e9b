#include "data_file_builder.h"

#include "path_rules.h"

namespace ssbuild {
namespace {

constexpr uint64_t kMaxDataFileSize = 0x7FFFFFFF;

std::string Describe(size_t index, const ChunkSource& chunk) {
  std::string text = "chunk " + std::to_string(index);
  const std::string& what = chunk.sourcePath.empty() ? chunk.name : chunk.sourcePath;
  if (!what.empty()) text += " (" + what + ")";
  return text;
}

std::string ChunkName(const ChunkSource& chunk) {
  return chunk.name.empty() && !chunk.copy ? BaseName(chunk.sourcePath) : chunk.name;
}

Status CheckChunk(size_t index, const ChunkSource& chunk) {
  const std::string name = ChunkName(chunk);
  const std::string prefix = Describe(index, chunk) + ": ";
  if (name.empty()) return Status::Fail(prefix + "no chunk name given");
  if (name.size() >= ssi::kChunkNameFieldSize)
    return Status::Fail(prefix + "the name is " + std::to_string(name.size()) +
                        " bytes long; at most 255 fit");
  if (chunk.copy) {
    if (!ssi::IsContainedRelativePath(name))
      return Status::Fail(prefix + "the copy name \"" + name +
                          "\" is not a relative path inside the screen saver's folder");
    return {};
  }
  if (chunk.kind == ssi::kChunkKindCopy)
    return Status::Fail(prefix + "Kind 3 marks a copy, which carries no data");
  if (!ssi::IsPlainFileName(name))
    return Status::Fail(prefix + "the name \"" + name + "\" is not a plain file name");
  return {};
}

// The settings record as given (or zeros) with the chunk count and the
// first chunk's kind filled in.
Status TakeSettings(const DataFileInput& input, ssi::SettingsRecord& settings) {
  if (!input.settings.empty()) {
    if (input.settings.size() != ssi::kSettingsRecordSize)
      return Status::Fail(input.settingsPath + ": is " + std::to_string(input.settings.size()) +
                          " bytes; a settings record has 1220");
    std::copy(input.settings.begin(), input.settings.end(), settings.bytes.begin());
  }
  settings.SetChunkCount(static_cast<int32_t>(input.chunks.size()));
  if (input.firstChunkKind) settings.SetFirstChunkKind(*input.firstChunkKind);
  return {};
}

// The chunk directory, then each chunk's header and stored bytes at the
// offsets laid out for them.
void AppendDirectoryAndChunks(const DataFileInput& input, const std::vector<uint64_t>& offsets,
                              const std::vector<PackedBytes>& packed, Bytes& out) {
  const size_t count = input.chunks.size();
  for (size_t i = 0; i < count; ++i) {
    ssi::ChunkEntry entry;
    entry.kind = input.chunks[i].kind;
    entry.name = ChunkName(input.chunks[i]);
    entry.chunkOffset = static_cast<int32_t>(offsets[i]);
    uint8_t bytes[ssi::kChunkEntrySize];
    ssi::SerializeChunkEntry(entry, bytes);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
  }
  for (size_t i = 0; i < count; ++i) {
    const ChunkSource& chunk = input.chunks[i];
    if (chunk.copy) continue;
    ssi::ChunkHeader header;
    header.kind = chunk.kind;
    header.expandedSize = static_cast<int32_t>(chunk.bytes.size());
    header.compressed = packed[i].compressed ? 1 : 0;
    header.storedSize = packed[i].compressed ? static_cast<int32_t>(packed[i].stored.size()) : 0;
    uint8_t bytes[ssi::kChunkHeaderSize];
    ssi::SerializeChunkHeader(header, bytes);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
    out.insert(out.end(), packed[i].stored.begin(), packed[i].stored.end());
  }
}

}  // namespace

Status BuildDataFile(const DataFileInput& input, Bytes& out) {
  out.clear();
  const size_t count = input.chunks.size();
  if (count > static_cast<size_t>(ssi::kMaxChunkCount))
    return Status::Fail(std::to_string(count) + " chunks; a data file holds at most 108");
  ssi::SettingsRecord settings;
  const Status given = TakeSettings(input, settings);
  if (!given.ok()) return given;

  std::vector<PackJob> jobs(count);
  for (size_t i = 0; i < count; ++i) {
    const ChunkSource& chunk = input.chunks[i];
    Status status = CheckChunk(i + 1, chunk);
    if (!status.ok()) return status;
    if (chunk.bytes.size() > kMaxDataFileSize)
      return Status::Fail(Describe(i + 1, chunk) + ": larger than 2 GiB - 1");
    jobs[i].data = &chunk.bytes;
    jobs[i].choice = chunk.compression;
    // An empty chunk (or a copy) writes no file; imploding it would only add bytes.
    if (chunk.bytes.empty()) jobs[i].choice.implode = false;
  }
  PackAll(jobs, input.packThreads);
  std::vector<PackedBytes> packed(count);
  uint64_t pos = ssi::kSettingsRecordSize + count * ssi::kChunkEntrySize;
  std::vector<uint64_t> offsets(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const ChunkSource& chunk = input.chunks[i];
    if (chunk.copy) continue;
    if (!jobs[i].status.ok())
      return Status::Fail(Describe(i + 1, chunk) + ": " + jobs[i].status.text());
    packed[i] = std::move(jobs[i].out);
    offsets[i] = pos;
    pos += ssi::kChunkHeaderSize + packed[i].stored.size();
  }
  if (pos > kMaxDataFileSize)
    return Status::Fail("the data file would be " + std::to_string(pos) +
                        " bytes; offsets are signed 32-bit, so at most 2147483647 fit");

  out.reserve(static_cast<size_t>(pos));
  out.assign(settings.bytes.begin(), settings.bytes.end());
  AppendDirectoryAndChunks(input, offsets, packed, out);
  return {};
}

}  // namespace ssbuild
