#pragma once
// The screen saver data file (payload entry 8). Integers little-endian, signed
// 32-bit unless noted; offsets from the start of the file.
//
//   0                  SettingsRecord, 1220 bytes
//   1220               ChunkEntry 1..ChunkCount, 264 bytes each, back to back
//   ChunkOffset (any)  ChunkHeader, 44 bytes, the chunk's data right behind it
//
// SettingsRecord: only two fields are ours; the rest belongs to the installed
// screen saver and is carried to saver.dat untouched.
//   212    4  ChunkCount      number of ChunkEntry records, at most 108
//   1192   4  FirstChunkKind  3: ChunkEntry 1 is treated as Kind 3
//
// ChunkEntry:
//   0      1  Kind            3: the chunk's file is a copy of another file
//   1      1  (not read)
//   2    256  Name            NUL-terminated, so at most 255 characters
//   258    2  (not read)
//   260    4  ChunkOffset     file offset of the chunk's ChunkHeader
//
// ChunkHeader:
//   0      4  Magic           "CHUN", not checked
//   4      1  Kind
//   5      3  (not read)
//   8      4  ExpandedSize    0: no file is written
//   12     4  StoredSize      compressed bytes behind the header
//   16     4  Compressed      non-zero: imploded (PKWARE DCL)
//   20    24  (not read)
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ssi {

constexpr size_t kSettingsRecordSize = 1220;
constexpr size_t kChunkEntrySize = 264;
constexpr size_t kChunkHeaderSize = 44;
constexpr int32_t kMaxChunkCount = 108;
constexpr size_t kChunkCountOffset = 212;
constexpr size_t kFirstChunkKindOffset = 1192;
constexpr size_t kChunkNameFieldSize = 256;
constexpr uint8_t kChunkKindCopy = 3;

struct SettingsRecord {
  std::array<uint8_t, kSettingsRecordSize> bytes{};

  int32_t ChunkCount() const;
  int32_t FirstChunkKind() const;
  void SetChunkCount(int32_t count);
  void SetFirstChunkKind(int32_t kind);
};

struct ChunkEntry {
  uint8_t kind = 0;
  std::string name;  // up to the first NUL of the 256-byte field
  int32_t chunkOffset = 0;
};

struct ChunkHeader {
  std::array<char, 4> magic{{'C', 'H', 'U', 'N'}};
  uint8_t kind = 0;
  int32_t expandedSize = 0;
  int32_t storedSize = 0;
  int32_t compressed = 0;
};

ChunkEntry ParseChunkEntry(const uint8_t* bytes);  // kChunkEntrySize bytes
void SerializeChunkEntry(const ChunkEntry& entry, uint8_t* bytes);
ChunkHeader ParseChunkHeader(const uint8_t* bytes);  // kChunkHeaderSize bytes
void SerializeChunkHeader(const ChunkHeader& header, uint8_t* bytes);

}  // namespace ssi
