#pragma once
// A data file made from its parts (cli_args.h) written straight to a file,
// each chunk read in pieces and imploded into it (entry_stream.h), so memory
// stays small whatever the chunks' sizes. The bytes are those of
// BuildDataFileFromParts; chunks are packed one after the other.
#include <memory>
#include <string>

#include "byte_file.h"
#include "cli_args.h"
#include "input_source.h"
#include "status.h"

namespace ssbuild {

// Chunks larger than this in all go through a file rather than memory.
constexpr uint64_t kStreamedChunksMin = 16u << 20;

// The data file a build streams: removed when the last holder lets go.
struct StreamedDataFile {
  std::string path;
  Bytes head;  // the settings record and the chunk directory, as in the file
  StreamedDataFile() = default;
  StreamedDataFile(const StreamedDataFile&) = delete;
  StreamedDataFile& operator=(const StreamedDataFile&) = delete;
  ~StreamedDataFile();
};

// The sum of the chunks' file sizes (0 for files that cannot be sized).
uint64_t ChunkBytes(const DataFileParts& parts, const InputSource& inputs);

// Writes the data file to `path` (created or replaced); `head` gets its
// settings record and chunk directory. A failed write leaves no file.
Status WriteDataFileFromParts(const DataFileParts& parts, const InputSource& inputs,
                              const std::string& path, Bytes& head);

// Writes the settings record at the start of `head` back into the file.
Status WriteSettingsRecordInto(const std::string& path, const Bytes& head);

}  // namespace ssbuild
