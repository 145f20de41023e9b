#pragma once
// Reading a screen saver data file back, and checking it as the installer
// will meet it.
#include <string>
#include <vector>

#include "byte_file.h"
#include "data_file_format.h"
#include "status.h"

namespace ssbuild {

struct DataFileView {
  ssi::SettingsRecord settings;
  std::vector<ssi::ChunkEntry> entries;  // entries[0] is ChunkEntry 1
};

// Reads the settings record and the chunk directory. Fails for a file shorter
// than both, or a ChunkCount outside 0..108.
Status ReadDataFile(const Bytes& image, DataFileView& out);

// True when the file is large enough for its settings record and directory
// and its ChunkCount lies in 0..108.
bool LooksLikeDataFile(const Bytes& image);

// Whether the installer copies entry `index` (1-based) instead of extracting it.
bool IsCopyEntry(const DataFileView& view, size_t index);

// The chunk's header and its file (expanded when compressed), checked to lie
// inside the data file and to come to ExpandedSize.
Status ChunkContent(const Bytes& image, const ssi::ChunkEntry& entry, ssi::ChunkHeader& header,
                    Bytes& content);

// Every broken rule, one line each; empty when sound. Checks: ChunkCount
// 0..108; every chunk header and its data inside the file; compressed chunks
// expanding to ExpandedSize; names (the file-name part of a chunk's name not
// empty, "." or ".."; a copy's name a relative path inside the folder); a
// copy of chunk 1's file needing chunk 1 to have a name.
std::vector<std::string> VerifyDataFile(const Bytes& image);

}  // namespace ssbuild
