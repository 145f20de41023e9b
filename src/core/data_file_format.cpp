#include "data_file_format.h"

#include <algorithm>
#include <cstring>

#include "le_bytes.h"

namespace ssi {

int32_t SettingsRecord::ChunkCount() const { return ReadI32(bytes.data() + kChunkCountOffset); }
int32_t SettingsRecord::FirstChunkKind() const {
  return ReadI32(bytes.data() + kFirstChunkKindOffset);
}
void SettingsRecord::SetChunkCount(int32_t count) {
  WriteI32(bytes.data() + kChunkCountOffset, count);
}
void SettingsRecord::SetFirstChunkKind(int32_t kind) {
  WriteI32(bytes.data() + kFirstChunkKindOffset, kind);
}

ChunkEntry ParseChunkEntry(const uint8_t* b) {
  ChunkEntry e;
  e.kind = b[0];
  const uint8_t* name = b + 2;
  const uint8_t* end = std::find(name, name + kChunkNameFieldSize, uint8_t{0});
  e.name.assign(name, end);
  e.chunkOffset = ReadI32(b + 260);
  return e;
}

void SerializeChunkEntry(const ChunkEntry& e, uint8_t* b) {
  std::memset(b, 0, kChunkEntrySize);
  b[0] = e.kind;
  std::memcpy(b + 2, e.name.data(), std::min(e.name.size(), kChunkNameFieldSize - 1));
  WriteI32(b + 260, e.chunkOffset);
}

ChunkHeader ParseChunkHeader(const uint8_t* b) {
  ChunkHeader h;
  std::memcpy(h.magic.data(), b, 4);
  h.kind = b[4];
  h.expandedSize = ReadI32(b + 8);
  h.storedSize = ReadI32(b + 12);
  h.compressed = ReadI32(b + 16);
  return h;
}

void SerializeChunkHeader(const ChunkHeader& h, uint8_t* b) {
  std::memset(b, 0, kChunkHeaderSize);
  std::memcpy(b, h.magic.data(), 4);
  b[4] = h.kind;
  WriteI32(b + 8, h.expandedSize);
  WriteI32(b + 12, h.storedSize);
  WriteI32(b + 16, h.compressed);
}

}  // namespace ssi
