// libFuzzer target: arbitrary bytes as the settings record that the screen
// saver reads from saver.dat. The first input byte picks whether the
// checksum is made right, so that the structure checks behind it are reached
// too. Whatever is read names only files of the screen saver's own folder,
// keeps every value in range, and writes back to a record that reads the same.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "dcl.h"
#include "fuzz_check.h"
#include "le_bytes.h"
#include "path_rules.h"
#include "show_layout.h"

namespace {

void Reseal(ssi::SettingsRecord& r) {
  const size_t namesSize =
      std::min<size_t>(static_cast<size_t>(r.bytes[6] | (r.bytes[7] << 8)), 976);
  unsigned long crc = 0xFFFFFFFFul;
  unsigned int size = 200;
  crc = dcl_crc32(reinterpret_cast<char*>(r.bytes.data() + 12), &size, &crc);
  size = static_cast<unsigned int>(namesSize);
  crc = dcl_crc32(reinterpret_cast<char*>(r.bytes.data() + 216), &size, &crc);
  ssi::WriteU32(r.bytes.data() + 8, static_cast<uint32_t>(~crc));
}

bool SameLayout(const ssi::ShowLayout& a, const ssi::ShowLayout& b) {
  if (a.pictures.size() != b.pictures.size()) return false;
  for (size_t i = 0; i < a.pictures.size(); ++i) {
    if (a.pictures[i].name != b.pictures[i].name || a.pictures[i].seconds != b.pictures[i].seconds)
      return false;
  }
  return a.show == b.show && a.order == b.order && a.transition == b.transition &&
         a.pictureSeconds == b.pictureSeconds && a.transitionMs == b.transitionMs &&
         a.movie == b.movie && a.publisher == b.publisher && a.displayVersion == b.displayVersion;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ssi::SettingsRecord record;
  std::memcpy(record.bytes.data(), data + 1, std::min(size - 1, record.bytes.size()));
  if (data[0] & 1) {
    std::memcpy(record.bytes.data(), "SSLY", 4);
    Reseal(record);
  }
  ssi::ShowLayout layout;
  const ssi::LayoutState state = ssi::ReadShowLayout(record, layout);
  if (state != ssi::LayoutState::kRead) {
    FUZZ_CHECK(layout.pictures.empty() && layout.movie.empty() && layout.publisher.empty());
    return 0;
  }
  FUZZ_CHECK(layout.pictureSeconds >= 1 && layout.pictureSeconds <= ssi::kMaxPictureSeconds);
  FUZZ_CHECK(layout.transitionMs <= ssi::kMaxTransitionMs);
  FUZZ_CHECK(layout.show == ssi::ShowKind::kPictures || !layout.movie.empty());
  FUZZ_CHECK(layout.movie.empty() || ssi::IsPlainFileName(layout.movie));
  FUZZ_CHECK(layout.pictures.size() <= ssi::kMaxShowPictures);
  for (const ssi::ShowPicture& p : layout.pictures) {
    FUZZ_CHECK(ssi::IsPlainFileName(p.name));
    FUZZ_CHECK(p.seconds <= ssi::kMaxPictureSeconds);
  }
  ssi::SettingsRecord again = record;
  std::string error;
  FUZZ_CHECK(ssi::WriteShowLayout(layout, again, error));
  FUZZ_CHECK(again.ChunkCount() == record.ChunkCount());
  FUZZ_CHECK(again.FirstChunkKind() == record.FirstChunkKind());
  ssi::ShowLayout reread;
  FUZZ_CHECK(ssi::ReadShowLayout(again, reread) == ssi::LayoutState::kRead);
  FUZZ_CHECK(SameLayout(layout, reread));
  return 0;
}
