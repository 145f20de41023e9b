#pragma once
// Screen saver data files made in memory for tests: a settings record, one
// directory entry per chunk, and the chunks behind the directory.
#include <optional>
#include <string>
#include <deque>

#include "data_file_format.h"

namespace ssi::test {

class DataFileBuilder {
 public:
  struct Chunk {
    ChunkEntry entry;
    ChunkHeader header;
    std::string data;      // the bytes behind the header
    bool hasChunk = true;  // false: the entry points at offset 0
  };

  DataFileBuilder() {
    for (size_t i = 0; i < kSettingsRecordSize; ++i)
      settings.bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    settings.SetFirstChunkKind(0);
  }

  Chunk& Stored(const std::string& name, const std::string& data) {
    Chunk& c = Add(name);
    c.header.expandedSize = static_cast<int32_t>(data.size());
    c.data = data;
    return c;
  }
  Chunk& Compressed(const std::string& name, int32_t expandedSize, const std::string& imploded) {
    Chunk& c = Add(name);
    c.header.expandedSize = expandedSize;
    c.header.storedSize = static_cast<int32_t>(imploded.size());
    c.header.compressed = 1;
    c.data = imploded;
    return c;
  }
  Chunk& Copy(const std::string& name) {
    Chunk& c = Add(name);
    c.entry.kind = kChunkKindCopy;
    c.hasChunk = false;
    return c;
  }

  std::string Build() {
    SettingsRecord record = settings;
    record.SetChunkCount(chunkCount.value_or(static_cast<int32_t>(chunks.size())));
    std::string file(reinterpret_cast<const char*>(record.bytes.data()), kSettingsRecordSize);
    size_t offset = kSettingsRecordSize + kChunkEntrySize * chunks.size();
    std::string body;
    for (Chunk& c : chunks) {
      if (c.hasChunk) {
        c.entry.chunkOffset = static_cast<int32_t>(offset + body.size());
        uint8_t header[kChunkHeaderSize];
        SerializeChunkHeader(c.header, header);
        body.append(reinterpret_cast<const char*>(header), kChunkHeaderSize);
        body += c.data;
      }
      uint8_t entry[kChunkEntrySize];
      SerializeChunkEntry(c.entry, entry);
      file.append(reinterpret_cast<const char*>(entry), kChunkEntrySize);
    }
    return file + body;
  }

  SettingsRecord settings;
  std::optional<int32_t> chunkCount;  // the count written, when not the number of chunks
  std::deque<Chunk> chunks;           // references stay valid as chunks are added

 private:
  Chunk& Add(const std::string& name) {
    chunks.emplace_back();
    chunks.back().entry.name = name;
    chunks.back().entry.kind = 1;
    chunks.back().header.kind = 7;
    return chunks.back();
  }
};

}  // namespace ssi::test
