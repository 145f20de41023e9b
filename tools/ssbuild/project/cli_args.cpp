#include "cli_args.h"

namespace ssbuild {

bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t& value) {
  if (text.empty() || text.size() > 12) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  if (v < min || v > max) return false;
  value = v;
  return true;
}

bool ArgList::TakeValue(const std::string& option, std::string& value) {
  if (Done()) {
    Fail(option + " needs a value");
    return false;
  }
  value = Take();
  return true;
}

bool ArgList::TakeInt(const std::string& option, int64_t min, int64_t max, int64_t& value) {
  std::string text;
  if (!TakeValue(option, text)) return false;
  if (ParseInteger(text, min, max, value)) return true;
  Fail(option + " " + text + ": expected a number from " + std::to_string(min) + " to " +
       std::to_string(max));
  return false;
}

bool ArgList::TakeLevel(const std::string& option, ssi::dcl::ImplodeLevel& level) {
  std::string text;
  if (!TakeValue(option, text)) return false;
  if (ParseImplodeLevel(text, level)) return true;
  Fail(option + " " + text + ": expected fast, default or best");
  return false;
}

bool TakeDataFileOption(const std::string& option, const std::string& prefix, ArgList& args,
                        DataFileParts& parts) {
  std::string value;
  int64_t number = 0;
  DataFileParts::Chunk* last = parts.chunks.empty() ? nullptr : &parts.chunks.back();
  auto needChunk = [&]() {
    if (last == nullptr) args.Fail(option + " must follow a chunk");
    return last != nullptr;
  };
  if (option == prefix + "settings") {
    if (args.TakeValue(option, value)) parts.settingsPath = value;
  } else if (option == prefix + "first-chunk-kind") {
    if (args.TakeInt(option, INT32_MIN, INT32_MAX, number))
      parts.firstChunkKind = static_cast<int32_t>(number);
  } else if (option == prefix + "chunk" || option == prefix + "copy") {
    if (args.TakeValue(option, value)) {
      DataFileParts::Chunk chunk;
      chunk.copy = option == prefix + "copy";
      chunk.path = value;
      chunk.origin = option;
      parts.chunks.push_back(chunk);
    }
  } else if (option == "--chunk-name") {
    if (needChunk() && args.TakeValue(option, value)) last->name = value;
  } else if (option == "--chunk-kind") {
    if (needChunk() && args.TakeInt(option, 0, 255, number))
      last->kind = static_cast<uint8_t>(number);
  } else if (option == "--chunk-store") {
    if (needChunk()) last->compression = CompressionChoice{false, false, 4096};
  } else if (option == "--chunk-compress") {
    CompressionChoice choice;
    if (needChunk() && args.TakeValue(option, value)) {
      if (ParseCompressionChoice(value, choice)) {
        last->compression = choice;
      } else {
        args.Fail(option + " " + value + ": expected store, binary[:DICT] or ascii[:DICT]");
      }
    }
  } else {
    return false;
  }
  parts.any = true;
  return true;
}

Status BuildDataFileFromParts(const DataFileParts& parts, const InputSource& inputs, Bytes& out) {
  DataFileInput input;
  if (!parts.settingsPath.empty()) {
    const Status status = ReadInput(inputs, parts.settingsPath, input.settings);
    if (!status.ok()) return status;
    input.settingsPath = parts.settingsPath;
  }
  input.firstChunkKind = parts.firstChunkKind;
  input.packThreads = parts.packThreads;
  for (const DataFileParts::Chunk& c : parts.chunks) {
    ChunkSource source;
    if (c.copy) {
      source = ChunkSource::Copy(c.path);
    } else {
      Bytes bytes;
      const Status status = ReadInput(inputs, c.path, bytes);
      if (!status.ok()) return status;
      source = ChunkSource::File(std::move(bytes), c.path);
      source.name = c.name;
      source.kind = c.kind;
    }
    if (c.copy && !c.name.empty()) source.name = c.name;
    source.compression =
        c.compression.value_or(parts.defaultCompression.value_or(CompressionChoice{}));
    source.compression.level = parts.level;
    input.chunks.push_back(std::move(source));
  }
  return BuildDataFile(input, out);
}

}  // namespace ssbuild
