// libFuzzer target: arbitrary bytes as an installer file (stub + payload),
// read the way `ssbuild list --json`, `verify` and `extract` read it, minus
// writing files. Besides never crashing, the readers must agree with each
// other: what `verify` passes, `extract` can unpack in full, and every entry
// that `extract` would write has a plain name and exactly its ExpandedSize.
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "data_file_examiner.h"
#include "fuzz_check.h"
#include "installer_examiner.h"
#include "listing.h"
#include "path_rules.h"
#include "payload_format.h"

namespace {

// JSON text escapes every byte outside printable ASCII in names, so the
// listing stays valid UTF-8 whatever the header holds.
bool PrintableAscii(const std::string& text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c != '\n' && (c < 0x20 || c >= 0x7F)) return false;
  }
  return true;
}

// What `extract` does with a header, without the writes. Returns whether
// every entry could be unpacked.
bool ExtractAll(const ssbuild::Bytes& image, const ssi::PayloadHeader& header) {
  for (const ssi::PayloadEntry& e : header.entries)
    if (!e.IsEmpty() && !ssi::IsPlainFileName(e.name)) return false;  // refused up front
  bool all = true;
  for (size_t i = 0; i < header.entries.size(); ++i) {
    const ssi::PayloadEntry& e = header.entries[i];
    if (e.IsEmpty()) continue;
    FUZZ_CHECK(e.name.find_first_of("\\/:") == std::string::npos);
    ssbuild::Bytes content;
    if (!ssbuild::EntryContent(image, e, content).ok()) {
      all = false;
      continue;
    }
    if (e.compressed != 0)
      FUZZ_CHECK(content.size() == static_cast<size_t>(e.expandedSize));
    else
      FUZZ_CHECK(static_cast<int64_t>(content.size()) == e.Length());
    if (i == ssi::entry::kDataFile) {
      ssbuild::DataFileView view;
      (void)ssbuild::ReadDataFile(content, view);
    }
  }
  return all;
}

void Examine(const ssbuild::Bytes& image, std::optional<uint32_t> forcedOffset) {
  ssbuild::InstallerView view;
  if (!ssbuild::ReadInstaller(image, forcedOffset, view).ok()) return;
  FUZZ_CHECK(static_cast<uint64_t>(view.payloadOffset) + ssi::kPayloadHeaderSize <= image.size());
  FUZZ_CHECK(view.header.SaverName().size() <= ssi::kSaverNameFieldSize);

  std::ostringstream json;
  ssbuild::PrintInstallerJson(json, view, image.size());
  FUZZ_CHECK(PrintableAscii(json.str()));
  std::ostringstream text;
  ssbuild::PrintInstallerListing(text, view, image.size());

  const std::vector<std::string> problems = ssbuild::VerifyInstaller(image, view);
  const bool extracted = ExtractAll(image, view.header);
  if (problems.empty()) {
    FUZZ_CHECK(extracted);
    FUZZ_CHECK(ssi::IsValidSaverName(view.header.SaverName()));
    if (!forcedOffset) FUZZ_CHECK(ssbuild::LooksLikeInstaller(image));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ssbuild::Bytes image(data, data + size);
  (void)ssbuild::LooksLikeInstaller(image);
  Examine(image, std::nullopt);
  // `--payload-offset`: a stub without a field, the header wherever it is
  // said to be. The last four bytes pick the place, so most inputs try one.
  if (size >= 4) {
    const uint32_t offset =
        static_cast<uint32_t>(data[size - 4]) | static_cast<uint32_t>(data[size - 3]) << 8 |
        static_cast<uint32_t>(data[size - 2]) << 16 | static_cast<uint32_t>(data[size - 1]) << 24;
    Examine(image, offset);
  }
  return 0;
}
