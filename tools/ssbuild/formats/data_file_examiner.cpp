#include "data_file_examiner.h"

#include "compression.h"
#include "path_rules.h"

namespace ssbuild {

Status ReadDataFile(const Bytes& image, DataFileView& out) {
  out = DataFileView{};
  if (image.size() < ssi::kSettingsRecordSize)
    return Status::Fail("shorter than a settings record (" + std::to_string(image.size()) +
                        " of 1220 bytes)");
  std::copy(image.begin(), image.begin() + ssi::kSettingsRecordSize, out.settings.bytes.begin());
  const int32_t count = out.settings.ChunkCount();
  if (count < 0 || count > ssi::kMaxChunkCount)
    return Status::Fail("ChunkCount " + std::to_string(count) + " is outside 0..108");
  const size_t directoryEnd =
      ssi::kSettingsRecordSize + static_cast<size_t>(count) * ssi::kChunkEntrySize;
  if (image.size() < directoryEnd)
    return Status::Fail("the chunk directory of " + std::to_string(count) +
                        " entries runs past the end of the file");
  for (int32_t i = 0; i < count; ++i)
    out.entries.push_back(ssi::ParseChunkEntry(image.data() + ssi::kSettingsRecordSize +
                                               static_cast<size_t>(i) * ssi::kChunkEntrySize));
  return {};
}

bool LooksLikeDataFile(const Bytes& image) {
  DataFileView view;
  return ReadDataFile(image, view).ok();
}

bool IsCopyEntry(const DataFileView& view, size_t index) {
  if (index == 1 && view.settings.FirstChunkKind() == ssi::kChunkKindCopy) return true;
  return view.entries[index - 1].kind == ssi::kChunkKindCopy;
}

Status ChunkContent(const Bytes& image, const ssi::ChunkEntry& entry, ssi::ChunkHeader& header,
                    Bytes& content) {
  content.clear();
  const int64_t offset = entry.chunkOffset;
  if (offset < 0 ||
      offset + static_cast<int64_t>(ssi::kChunkHeaderSize) > static_cast<int64_t>(image.size()))
    return Status::Fail("its header at " + std::to_string(offset) + " lies outside the file");
  const size_t at = static_cast<size_t>(offset);
  header = ssi::ParseChunkHeader(image.data() + at);
  if (header.expandedSize < 0)
    return Status::Fail("negative ExpandedSize " + std::to_string(header.expandedSize));
  if (header.expandedSize == 0) return {};  // the installer writes no file
  const int64_t dataSize = header.compressed != 0 ? header.storedSize : header.expandedSize;
  if (header.compressed != 0 && dataSize <= 0)
    return Status::Fail("compressed with StoredSize " + std::to_string(dataSize));
  const size_t dataStart = at + ssi::kChunkHeaderSize;
  if (static_cast<int64_t>(image.size() - dataStart) < dataSize)
    return Status::Fail("its " + std::to_string(dataSize) +
                        " data bytes run past the end of the file");
  const uint8_t* data = image.data() + dataStart;
  if (header.compressed == 0) {
    content.assign(data, data + static_cast<size_t>(dataSize));
    return {};
  }
  return ExplodeExactly(data, static_cast<size_t>(dataSize),
                        static_cast<size_t>(header.expandedSize), content);
}

std::vector<std::string> VerifyDataFile(const Bytes& image) {
  std::vector<std::string> problems;
  DataFileView view;
  const Status status = ReadDataFile(image, view);
  if (!status.ok()) return {status.text()};
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const ssi::ChunkEntry& entry = view.entries[i - 1];
    const std::string where = "chunk " + std::to_string(i) + " (" + entry.name + "): ";
    if (entry.name.empty()) continue;  // the installer skips it
    // The field holds 255 characters and their NUL; a name that fills it
    // ends only where the field does, which the builder never writes.
    if (entry.name.size() >= ssi::kChunkNameFieldSize)
      problems.push_back(where + "the name fills its 256-byte field without a closing NUL");
    if (IsCopyEntry(view, i)) {
      if (!ssi::IsContainedRelativePath(entry.name))
        problems.push_back(where + "a copy's name must be a relative path inside the folder");
      if (i > 1 && view.entries[0].name.empty())
        problems.push_back(where + "copies chunk 1's file, but chunk 1 has no name");
      continue;
    }
    // The installer writes the chunk under the part after the last backslash
    // or colon; a "/" left in that part would still be a folder separator.
    if (!ssi::IsPlainFileName(ssi::FileNamePart(entry.name)))
      problems.push_back(where + "the name's file-name part is not a plain file name");
    ssi::ChunkHeader header;
    Bytes content;
    const Status chunk = ChunkContent(image, entry, header, content);
    if (!chunk.ok()) problems.push_back(where + chunk.text());
  }
  return problems;
}

}  // namespace ssbuild
