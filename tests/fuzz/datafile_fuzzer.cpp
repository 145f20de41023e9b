// libFuzzer target: arbitrary bytes as a screen saver data file, read the way
// `ssbuild list --json`, `verify` and `extract` read it, minus writing files.
// What `verify` passes, `extract` must unpack in full; every chunk it would
// write has a plain file-name part and exactly its ExpandedSize; every copy
// that `verify` passes stays inside the screen saver's folder.
#include <cstdint>
#include <sstream>
#include <string>

#include "data_file_examiner.h"
#include "fuzz_check.h"
#include "listing.h"
#include "path_rules.h"

namespace {

bool PrintableAscii(const std::string& text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c != '\n' && (c < 0x20 || c >= 0x7F)) return false;
  }
  return true;
}

// The path's components between "\" and "/".
bool HasEscapingComponent(const std::string& path) {
  size_t start = 0;
  while (true) {
    const size_t sep = path.find_first_of("\\/", start);
    const std::string part = path.substr(start, sep == std::string::npos ? sep : sep - start);
    if (part.empty() || part == "." || part == "..") return true;
    if (sep == std::string::npos) return false;
    start = sep + 1;
  }
}

// What `extract` does, without the writes. Returns whether every chunk could
// be unpacked.
bool ExtractAll(const ssbuild::Bytes& image, const ssbuild::DataFileView& view) {
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const std::string& name = view.entries[i - 1].name;
    if (!name.empty() && !ssbuild::IsCopyEntry(view, i) &&
        !ssi::IsPlainFileName(ssi::FileNamePart(name)))
      return false;  // refused up front
  }
  bool all = true;
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const ssi::ChunkEntry& entry = view.entries[i - 1];
    FUZZ_CHECK(entry.name.size() <= ssi::kChunkNameFieldSize);
    FUZZ_CHECK(entry.name.find('\0') == std::string::npos);
    if (entry.name.empty() || ssbuild::IsCopyEntry(view, i)) continue;
    const std::string written = ssi::FileNamePart(entry.name);
    FUZZ_CHECK(!written.empty() && written.find_first_of("\\/:") == std::string::npos);
    ssi::ChunkHeader header;
    ssbuild::Bytes content;
    if (!ssbuild::ChunkContent(image, entry, header, content).ok()) {
      all = false;
      continue;
    }
    FUZZ_CHECK(header.expandedSize >= 0);
    FUZZ_CHECK(content.size() ==
               (header.expandedSize > 0 ? static_cast<size_t>(header.expandedSize) : 0));
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ssbuild::Bytes image(data, data + size);
  const std::vector<std::string> problems = ssbuild::VerifyDataFile(image);
  ssbuild::DataFileView view;
  const bool readable = ssbuild::ReadDataFile(image, view).ok();
  FUZZ_CHECK(readable == ssbuild::LooksLikeDataFile(image));
  if (!readable) {
    FUZZ_CHECK(problems.size() == 1);
    return 0;
  }
  FUZZ_CHECK(view.entries.size() == static_cast<size_t>(view.settings.ChunkCount()));
  FUZZ_CHECK(view.entries.size() <= static_cast<size_t>(ssi::kMaxChunkCount));

  std::ostringstream json;
  ssbuild::PrintDataFileJson(json, image, view);
  FUZZ_CHECK(PrintableAscii(json.str()));
  std::ostringstream text;
  ssbuild::PrintDataFileListing(text, image, view);

  const bool extracted = ExtractAll(image, view);
  if (problems.empty()) {
    FUZZ_CHECK(extracted);
    for (size_t i = 1; i <= view.entries.size(); ++i) {
      const std::string& name = view.entries[i - 1].name;
      FUZZ_CHECK(name.size() < ssi::kChunkNameFieldSize);
      if (name.empty() || !ssbuild::IsCopyEntry(view, i)) continue;
      FUZZ_CHECK(name.find(':') == std::string::npos && !HasEscapingComponent(name));
    }
  }
  return 0;
}
