#include "data_file_stream.h"

#include <cstdio>

#include "build_plan.h"
#include "data_file_builder.h"
#include "entry_stream.h"
#include "input_source.h"
#include "le_bytes.h"
#include "native_file.h"

namespace ssbuild {
namespace {

constexpr uint64_t kMaxDataFileSize = 0x7FFFFFFF;

bool WriteAt(std::FILE* file, uint64_t pos, const uint8_t* bytes, size_t size) {
  return std::fseek(file, static_cast<long>(pos), SEEK_SET) == 0 &&
         std::fwrite(bytes, 1, size, file) == size;
}

// Packs one chunk at `pos` (after its header); false `compressed` when it
// went in as it is.
Status PackChunk(const PlannedEntry& e, const InputSource& inputs, std::FILE* file, uint64_t pos,
                 uint64_t& stored, bool& compressed) {
  PackTarget target;
  target.file = file;
  target.room = kMaxDataFileSize - pos;
  compressed = false;
  if (std::fseek(file, static_cast<long>(pos), SEEK_SET) != 0) return Status::Fail("cannot write");
  if (e.compression.implode && e.size > 0) {
    const Status status = TryImplodeEntry(e, inputs, target, PackWatch{}, compressed);
    if (!status.ok()) return status;
    if (!compressed) {
      target.written = 0;
      if (std::fseek(file, static_cast<long>(pos), SEEK_SET) != 0)
        return Status::Fail("cannot write");
    }
  }
  if (!compressed) {
    const Status status = CopyEntry(e, inputs, target, PackWatch{});
    if (!status.ok()) return status;
  }
  if (target.overLimit)
    return Status::Fail("the data file would pass 2147483647 bytes; offsets are signed 32-bit");
  if (target.writeFailed) return Status::Fail("cannot write");
  stored = target.written;
  return {};
}

Status Write(const DataFileParts& parts, const InputSource& inputs, std::FILE* file, Bytes& head) {
  // The settings record and the names are checked, and the directory laid
  // out, by the in-memory builder on empty stand-ins of the chunks.
  std::vector<uint64_t> sizes;
  for (const DataFileParts::Chunk& c : parts.chunks) {
    uint64_t size = 0;
    std::string problem;
    if (!c.copy && !inputs.Stat(c.path, size, problem)) return Status::Fail(problem);
    sizes.push_back(size);
  }
  DataFileInput input;
  if (!parts.settingsPath.empty()) {
    const Status status = ReadInput(inputs, parts.settingsPath, input.settings);
    if (!status.ok()) return status;
    input.settingsPath = parts.settingsPath;
  }
  input.firstChunkKind = parts.firstChunkKind;
  for (const DataFileParts::Chunk& c : parts.chunks) {
    ChunkSource source = c.copy ? ChunkSource::Copy(c.path) : ChunkSource::File({}, c.path);
    if (!c.name.empty()) source.name = c.name;
    source.kind = c.copy ? source.kind : c.kind;
    input.chunks.push_back(std::move(source));
  }
  Bytes laidOut;
  Status status = BuildDataFile(input, laidOut);
  if (!status.ok()) return status;
  const size_t count = parts.chunks.size();
  head.assign(laidOut.begin(),
              laidOut.begin() + static_cast<std::ptrdiff_t>(ssi::kSettingsRecordSize +
                                                            count * ssi::kChunkEntrySize));
  if (std::fwrite(head.data(), 1, head.size(), file) != head.size())
    return Status::Fail("cannot write");

  uint64_t pos = head.size();
  for (size_t i = 0; i < count; ++i) {
    const DataFileParts::Chunk& c = parts.chunks[i];
    if (c.copy) continue;
    PlannedEntry e;
    e.path = c.path;
    e.size = sizes[i];
    e.compression = c.compression.value_or(parts.defaultCompression.value_or(CompressionChoice{}));
    e.compression.level = parts.level;
    uint64_t stored = 0;
    bool compressed = false;
    status = PackChunk(e, inputs, file, pos + ssi::kChunkHeaderSize, stored, compressed);
    if (!status.ok())
      return Status::Fail("chunk " + std::to_string(i + 1) + " (" + c.path + "): " + status.text());
    inputs.Done(c.path);
    ssi::ChunkHeader header;
    header.kind = c.kind;
    header.expandedSize = static_cast<int32_t>(e.size);
    header.compressed = compressed ? 1 : 0;
    header.storedSize = compressed ? static_cast<int32_t>(stored) : 0;
    uint8_t bytes[ssi::kChunkHeaderSize];
    ssi::SerializeChunkHeader(header, bytes);
    if (!WriteAt(file, pos, bytes, sizeof bytes)) return Status::Fail("cannot write");
    ssi::WriteI32(&head[ssi::kSettingsRecordSize + i * ssi::kChunkEntrySize + 260],
                  static_cast<int32_t>(pos));
    pos += ssi::kChunkHeaderSize + stored;
  }
  if (!WriteAt(file, 0, head.data(), head.size()) || std::fflush(file) != 0)
    return Status::Fail("cannot write");
  return {};
}

}  // namespace

StreamedDataFile::~StreamedDataFile() {
  if (!path.empty()) RemoveFile(path);
}

uint64_t ChunkBytes(const DataFileParts& parts, const InputSource& inputs) {
  uint64_t total = 0;
  for (const DataFileParts::Chunk& c : parts.chunks) {
    uint64_t size = 0;
    std::string problem;
    if (!c.copy && inputs.Stat(c.path, size, problem)) total += size;
  }
  return total;
}

Status WriteDataFileFromParts(const DataFileParts& parts, const InputSource& inputs,
                              const std::string& path, Bytes& head) {
  std::string reason;
  FilePtr file = OpenFile(path, FileMode::kCreateRead, reason);
  if (!file) return Status::Fail(path + ": cannot create: " + reason);
  // An implode given up never wrote past the stored copy that replaced it
  // (entry_stream.h), so the file ends where the last chunk does.
  Status status = Write(parts, inputs, file.get(), head);
  if (std::fclose(file.release()) != 0 && status.ok())
    status = Status::Fail(path + ": cannot write");
  if (!status.ok()) RemoveFile(path);
  return status;
}

Status WriteSettingsRecordInto(const std::string& path, const Bytes& head) {
  FilePtr file = OpenFile(path, FileMode::kUpdate);
  if (!file || !WriteAt(file.get(), 0, head.data(), ssi::kSettingsRecordSize) ||
      std::fclose(file.release()) != 0)
    return Status::Fail(path + ": cannot write");
  return {};
}

}  // namespace ssbuild
