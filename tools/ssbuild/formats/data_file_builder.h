#pragma once
// Builds a screen saver data file:
//
//   SettingsRecord, 1220 bytes (ChunkCount at 212, FirstChunkKind at 1192)
//   ChunkEntry 1..ChunkCount, 264 bytes each
//   for every chunk with data, in order: ChunkHeader (44 bytes, "CHUN"), data
//
// A copy entry (Kind 3) carries a name only: the installer makes its file by
// copying another one, so it has no header and no data, and ChunkOffset 0.
// Same input, same bytes; undefined bytes are 0.
#include <optional>
#include <string>
#include <vector>

#include "byte_file.h"
#include "compression.h"
#include "data_file_format.h"
#include "status.h"

namespace ssbuild {

struct ChunkSource {
  bool copy = false;       // Kind 3: no data, `name` is where the copy goes
  Bytes bytes;             // the chunk's file
  std::string sourcePath;  // for messages; its base name is the default chunk name
  std::string name;        // overrides the default; required for a copy
  uint8_t kind = 0;        // Kind of entry and header for a chunk with data; not 3
  CompressionChoice compression;

  static ChunkSource File(Bytes data, std::string path) {
    ChunkSource c;
    c.bytes = std::move(data);
    c.sourcePath = std::move(path);
    return c;
  }
  static ChunkSource Copy(std::string copyName) {
    ChunkSource c;
    c.copy = true;
    c.kind = ssi::kChunkKindCopy;
    c.name = std::move(copyName);
    return c;
  }
};

struct DataFileInput {
  Bytes settings;                         // 1220 bytes, or empty for zeros
  std::string settingsPath = "settings";  // for messages
  std::optional<int32_t> firstChunkKind;  // written when given, else kept from `settings`
  std::vector<ChunkSource> chunks;        // at most 108
  unsigned packThreads = 0;               // chunks imploded side by side; 0: one per processor
};

// Refuses more than 108 chunks, a settings record of the wrong size, empty
// or unsafe names (a chunk with data needs a plain file name; a copy a
// relative path inside the screen saver's folder), names over 255 bytes, a
// Kind 3 chunk with data, and a file past 2 GiB - 1.
Status BuildDataFile(const DataFileInput& input, Bytes& out);

}  // namespace ssbuild
