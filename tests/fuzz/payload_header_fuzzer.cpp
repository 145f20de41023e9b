// libFuzzer target: the payload header format and the path rules applied to
// the names it carries.
// Input: the first 3148 bytes are a header; any bytes after it are one more
// name (as a chunk name or a copy's path would arrive), at most 300 bytes.
// Checked: serialize(parse(x)) gives x back except the name bytes past each
// entry's name length, which are written as zeros; and every name the rules
// accept stays inside the folder it is meant for.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "path_rules.h"
#include "payload_format.h"

namespace {

const std::string kWindowsDir = "C:\\WINDOWS\\";

bool HasSeparator(const std::string& text) {
  return text.find_first_of("\\/:") != std::string::npos;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

void CheckRoundTrip(const uint8_t* data) {
  const ssi::PayloadHeader header = ssi::ParsePayloadHeader(data);
  std::vector<uint8_t> again(ssi::kPayloadHeaderSize, 0xA5);
  ssi::SerializePayloadHeader(header, again.data());
  std::vector<uint8_t> expected(data, data + ssi::kPayloadHeaderSize);
  for (size_t i = 0; i < ssi::kPayloadEntryCount; ++i) {
    uint8_t* entry = expected.data() + ssi::kEntriesOffset + i * ssi::kPayloadEntrySize;
    std::fill(entry + 1 + entry[0], entry + 1 + ssi::kEntryNameMax, uint8_t{0});
  }
  FUZZ_CHECK(again == expected);
  // And the header read back is the header written.
  const ssi::PayloadHeader reread = ssi::ParsePayloadHeader(again.data());
  FUZZ_CHECK(reread.nameField == header.nameField);
  for (size_t i = 0; i < ssi::kPayloadEntryCount; ++i) {
    const ssi::PayloadEntry& a = header.entries[i];
    const ssi::PayloadEntry& b = reread.entries[i];
    FUZZ_CHECK(a.name == b.name && a.startOffset == b.startOffset && a.endOffset == b.endOffset &&
               a.kind == b.kind && a.compressed == b.compressed && a.padding == b.padding &&
               a.storedSize == b.storedSize && a.expandedSize == b.expandedSize);
    FUZZ_CHECK(a.name.size() == data[ssi::kEntriesOffset + i * ssi::kPayloadEntrySize]);
  }
  const std::string saver = header.SaverName();
  FUZZ_CHECK(saver.size() <= ssi::kSaverNameFieldSize && saver.find('\0') == std::string::npos);
}

// Rules that hold for any text.
void CheckSplitting(const std::string& path) {
  const std::string file = ssi::FileNamePart(path);
  const std::string folder = ssi::FolderPart(path);
  FUZZ_CHECK(folder + file == path);
  FUZZ_CHECK(file.find_first_of("\\:") == std::string::npos);
  const std::string ext = ssi::PathExtension(path);
  FUZZ_CHECK(ext.empty() ||
             (ext[0] == '.' && ext.find('.', 1) == std::string::npos &&
              ext.find_first_of("\\:") == std::string::npos && path.size() >= ext.size() &&
              path.compare(path.size() - ext.size(), ext.size(), ext) == 0));
  const std::string replaced = ssi::ReplaceExtension(path, ".dll");
  FUZZ_CHECK(ssi::PathExtension(replaced) == ".dll");
  FUZZ_CHECK(ssi::FolderPart(replaced) == folder);
}

void CheckContainedPath(const std::string& path) {
  if (!ssi::IsContainedRelativePath(path)) return;
  FUZZ_CHECK(path.find(':') == std::string::npos);
  size_t start = 0;
  while (true) {
    const size_t sep = path.find_first_of("\\/", start);
    const std::string part = path.substr(start, sep == std::string::npos ? sep : sep - start);
    FUZZ_CHECK(!part.empty() && part != "." && part != "..");
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
}

// A name accepted for an entry never leaves the folder its kind names.
void CheckEntryName(const std::string& name, int32_t kind, const std::string& saverDir) {
  const std::optional<std::string> dest = ssi::EntryDestination(kind, name, kWindowsDir, saverDir);
  FUZZ_CHECK(dest.has_value() == (kind >= 1 && kind <= 6));
  if (!ssi::IsPlainFileName(name)) return;
  FUZZ_CHECK(!HasSeparator(name) && name != "." && name != "..");
  const std::string bitmap = ssi::PreviewBitmapName(name);
  FUZZ_CHECK(bitmap.size() <= ssi::kEntryNameMax && ssi::IsPlainFileName(bitmap));
  for (int32_t k = 1; k <= 6; ++k) {
    const std::string to = *ssi::EntryDestination(k, name, kWindowsDir, saverDir);
    const std::string& folder = (k == 2 || k == 3) ? kWindowsDir : saverDir;
    FUZZ_CHECK(StartsWith(to, folder));
    const std::string rest = to.substr(folder.size());
    FUZZ_CHECK(!HasSeparator(rest) && ssi::IsPlainFileName(rest));
    FUZZ_CHECK(ssi::FolderPart(to) == folder);
    if (k == 3 && name != "flashax.exe") FUZZ_CHECK(ssi::PathExtension(rest) == ".dll");
  }
}

void CheckName(const std::string& name, int32_t kind, const std::string& saverDir) {
  CheckSplitting(name);
  CheckContainedPath(name);
  CheckEntryName(name, kind, saverDir);
  CheckEntryName(ssi::FileNamePart(name), kind, saverDir);  // how chunks are named
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < ssi::kPayloadHeaderSize) return 0;
  CheckRoundTrip(data);
  const ssi::PayloadHeader header = ssi::ParsePayloadHeader(data);

  const std::string saver = header.SaverName();
  std::string saverDir = kWindowsDir + "TempSaverDir dir\\";
  if (ssi::IsValidSaverName(saver)) {
    FUZZ_CHECK(saver.find_first_of("\\/:*?\"<>|") == std::string::npos);
    FUZZ_CHECK(saver != "." && saver != "..");
    if (!saver.empty()) {
      saverDir = ssi::WithTrailingBackslash(kWindowsDir + saver + " dir");
      FUZZ_CHECK(ssi::FolderPart(saverDir) == saverDir && ssi::FileNamePart(saverDir).empty());
      FUZZ_CHECK(ssi::FolderPart(saverDir.substr(0, saverDir.size() - 1)) == kWindowsDir);
    }
  }
  CheckSplitting(saver);

  for (const ssi::PayloadEntry& e : header.entries) CheckName(e.name, e.kind, saverDir);
  const size_t extra = std::min<size_t>(size - ssi::kPayloadHeaderSize, 300);
  const std::string tail(reinterpret_cast<const char*>(data) + ssi::kPayloadHeaderSize, extra);
  CheckName(tail, header.entries[0].kind, saverDir);
  return 0;
}
