#pragma once
// Small helpers shared by the commands: walking the arguments, numbers,
// loading the input that a command names.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_file.h"
#include "compression.h"
#include "data_file_builder.h"
#include "input_source.h"

namespace ssbuild {

// Walks the arguments of one command. A usage problem is kept as text; the
// command stops at the first one and RunCli reports it with exit code 1.
class ArgList {
 public:
  ArgList(const std::vector<std::string>& args, size_t first) : args_(args), next_(first) {}

  bool Done() const { return next_ >= args_.size(); }
  std::string Take() { return args_[next_++]; }
  // The value that follows `option`; sets the usage error when there is none.
  bool TakeValue(const std::string& option, std::string& value);
  bool TakeInt(const std::string& option, int64_t min, int64_t max, int64_t& value);
  // --level fast|default|best
  bool TakeLevel(const std::string& option, ssi::dcl::ImplodeLevel& level);

  void Fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
  }
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  const std::vector<std::string>& args_;
  size_t next_;
  std::string error_;
};

bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t& value);

// The parts of a data file as the command line names them; the files are
// read only once the whole command line was accepted.
struct DataFileParts {
  struct Chunk {
    bool copy = false;
    std::string path;  // the chunk's file, or the copy's name
    std::string name;
    uint8_t kind = 0;
    std::optional<CompressionChoice> compression;
    std::string origin;  // where it was given ("project.ini:12", "--chunk"), for messages
  };
  bool any = false;
  std::string settingsPath;
  std::optional<int32_t> firstChunkKind;
  std::optional<CompressionChoice> defaultCompression;
  std::vector<Chunk> chunks;
  unsigned packThreads = 0;                                         // see DataFileInput
  ssi::dcl::ImplodeLevel level = ssi::dcl::ImplodeLevel::kDefault;  // of every chunk
};

// Takes one data-file option if `option` is one: `prefix` + "settings",
// "chunk", "copy", "first-chunk-kind", and the modifiers of the last chunk
// "--chunk-name", "--chunk-kind", "--chunk-store", "--chunk-compress".
// Returns false when `option` is none of them.
bool TakeDataFileOption(const std::string& option, const std::string& prefix, ArgList& args,
                        DataFileParts& parts);

// Reads the files of `parts` from `inputs` and builds the data file.
Status BuildDataFileFromParts(const DataFileParts& parts, const InputSource& inputs, Bytes& out);

}  // namespace ssbuild
