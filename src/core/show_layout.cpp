#include "show_layout.h"

#include <cstring>

#include "le_bytes.h"
#include "path_rules.h"

namespace ssi {
namespace {

constexpr char kMagic[4] = {'S', 'S', 'L', 'Y'};
constexpr size_t kCrcStart = 12;
constexpr size_t kHeaderEnd = 212;  // ChunkCount follows
constexpr size_t kPublisherOffset = 20;
constexpr size_t kDisplayVersionOffset = 84;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// CRC-32 as zlib computes it, bit by bit: the record is small, and the
// installer, which reads the layout too, is not worth a 1 KB table.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

uint32_t LayoutCrc(const SettingsRecord& record, size_t namesSize) {
  uint32_t crc = Crc32(record.bytes.data() + kCrcStart, kHeaderEnd - kCrcStart, 0xFFFFFFFFu);
  crc = Crc32(record.bytes.data() + kShowNamesOffset, namesSize, crc);
  return ~crc;
}

// A NUL-terminated text field; false when it fills the field without one.
bool ReadTextField(const uint8_t* field, size_t size, std::string& text) {
  const void* end = std::memchr(field, 0, size);
  if (end == nullptr) return false;
  text.assign(reinterpret_cast<const char*>(field),
              static_cast<size_t>(static_cast<const uint8_t*>(end) - field));
  return true;
}

uint16_t InRange(uint16_t value, uint16_t low, uint16_t high, uint16_t fallback) {
  return value < low || value > high ? fallback : value;
}

// Walks the names area; every read is checked against its used size.
class NameReader {
 public:
  NameReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  bool U16(uint16_t& v) {
    if (size_ - pos_ < 2) return false;
    v = ReadU16(bytes_ + pos_);
    pos_ += 2;
    return true;
  }
  bool Name(std::string& name) {
    if (size_ - pos_ < 1) return false;
    const size_t length = bytes_[pos_++];
    if (size_ - pos_ < length) return false;
    name.assign(reinterpret_cast<const char*>(bytes_ + pos_), length);
    pos_ += length;
    return true;
  }
  bool AtEnd() const { return pos_ == size_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t pos_ = 0;
};

bool ParseLayout(const SettingsRecord& record, ShowLayout& out) {
  const uint8_t* b = record.bytes.data();
  const size_t namesSize = ReadU16(b + 6);
  if (namesSize > kShowNamesCapacity || ReadU32(b + 8) != LayoutCrc(record, namesSize))
    return false;
  ShowLayout layout;
  layout.show =
      b[12] == static_cast<uint8_t>(ShowKind::kMovie) ? ShowKind::kMovie : ShowKind::kPictures;
  layout.order = b[13] == 1 ? ShowOrder::kShuffled : ShowOrder::kAsListed;
  layout.transition = b[14] <= 2 ? static_cast<Transition>(b[14]) : Transition::kCut;
  const size_t count = b[15];
  if (count > kMaxShowPictures) return false;
  layout.pictureSeconds = InRange(ReadU16(b + 16), 1, kMaxPictureSeconds, kDefaultPictureSeconds);
  layout.transitionMs = InRange(ReadU16(b + 18), 0, kMaxTransitionMs, kDefaultTransitionMs);
  if (!ReadTextField(b + kPublisherOffset, kPublisherField, layout.publisher) ||
      !ReadTextField(b + kDisplayVersionOffset, kDisplayVersionField, layout.displayVersion))
    return false;
  NameReader names(b + kShowNamesOffset, namesSize);
  if (!names.Name(layout.movie)) return false;
  for (size_t i = 0; i < count; ++i) {
    ShowPicture picture;
    if (!names.U16(picture.seconds) || !names.Name(picture.name)) return false;
    if (picture.seconds > kMaxPictureSeconds) picture.seconds = 0;
    // Only files of the screen saver's own folder are ever opened.
    if (IsPlainFileName(picture.name)) layout.pictures.push_back(picture);
  }
  // A newer writer that older readers can still read may add names at the end.
  if (b[4] <= kShowLayoutVersion && !names.AtEnd()) return false;
  if (!IsPlainFileName(layout.movie)) layout.movie.clear();
  if (layout.movie.empty()) layout.show = ShowKind::kPictures;
  out = std::move(layout);
  return true;
}

bool Fail(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

bool CheckLayout(const ShowLayout& layout, std::string& error) {
  if (layout.show == ShowKind::kMovie && layout.movie.empty())
    return Fail(error, "a movie show needs the movie's name");
  if (!layout.movie.empty() && !IsPlainFileName(layout.movie))
    return Fail(error, "the movie \"" + layout.movie + "\" is not a plain file name");
  if (layout.movie.size() > 255) return Fail(error, "the movie's name is over 255 bytes");
  if (layout.pictures.size() > kMaxShowPictures)
    return Fail(error, std::to_string(layout.pictures.size()) + " pictures; at most 100 fit");
  for (const ShowPicture& p : layout.pictures) {
    if (!IsPlainFileName(p.name) || p.name.size() > 255)
      return Fail(error, "the picture \"" + p.name + "\" is not a plain file name");
    if (p.seconds > kMaxPictureSeconds)
      return Fail(error, "the picture \"" + p.name + "\" is shown over 3600 seconds");
  }
  if (layout.pictureSeconds < 1 || layout.pictureSeconds > kMaxPictureSeconds)
    return Fail(error, "a picture duration must be 1 to 3600 seconds");
  if (layout.transitionMs > kMaxTransitionMs)
    return Fail(error, "a transition lasts at most 5000 ms");
  if (layout.publisher.size() >= kPublisherField ||
      layout.publisher.find('\0') != std::string::npos)
    return Fail(error, "the publisher takes at most 63 bytes");
  if (layout.displayVersion.size() >= kDisplayVersionField ||
      layout.displayVersion.find('\0') != std::string::npos)
    return Fail(error, "the version takes at most 31 bytes");
  return true;
}

}  // namespace

LayoutState ReadShowLayout(const SettingsRecord& record, ShowLayout& layout) {
  layout = ShowLayout{};
  const uint8_t* b = record.bytes.data();
  if (std::memcmp(b, kMagic, sizeof kMagic) != 0) return LayoutState::kAbsent;
  if (b[5] > kShowLayoutVersion || b[5] == 0) return LayoutState::kNewer;
  return ParseLayout(record, layout) ? LayoutState::kRead : LayoutState::kDamaged;
}

bool WriteShowLayout(const ShowLayout& layout, SettingsRecord& record, std::string& error) {
  if (!CheckLayout(layout, error)) return false;
  std::vector<uint8_t> names;
  names.push_back(static_cast<uint8_t>(layout.movie.size()));
  names.insert(names.end(), layout.movie.begin(), layout.movie.end());
  for (const ShowPicture& p : layout.pictures) {
    names.push_back(static_cast<uint8_t>(p.seconds));
    names.push_back(static_cast<uint8_t>(p.seconds >> 8));
    names.push_back(static_cast<uint8_t>(p.name.size()));
    names.insert(names.end(), p.name.begin(), p.name.end());
  }
  if (names.size() > kShowNamesCapacity)
    return Fail(error, "the names take " + std::to_string(names.size()) +
                           " bytes; the settings record has room for 976");

  SettingsRecord out = record;
  uint8_t* b = out.bytes.data();
  std::memset(b, 0, kHeaderEnd);
  std::memset(b + kShowNamesOffset, 0, kShowNamesCapacity);
  std::memset(b + kFirstChunkKindOffset + 4, 0, kSettingsRecordSize - kFirstChunkKindOffset - 4);
  std::memcpy(b, kMagic, sizeof kMagic);
  b[4] = kShowLayoutVersion;
  b[5] = kShowLayoutVersion;
  WriteU16(b + 6, static_cast<uint16_t>(names.size()));
  b[12] = static_cast<uint8_t>(layout.show);
  b[13] = static_cast<uint8_t>(layout.order);
  b[14] = static_cast<uint8_t>(layout.transition);
  b[15] = static_cast<uint8_t>(layout.pictures.size());
  WriteU16(b + 16, layout.pictureSeconds);
  WriteU16(b + 18, layout.transitionMs);
  std::memcpy(b + kPublisherOffset, layout.publisher.data(), layout.publisher.size());
  std::memcpy(b + kDisplayVersionOffset, layout.displayVersion.data(),
              layout.displayVersion.size());
  std::memcpy(b + kShowNamesOffset, names.data(), names.size());
  WriteU32(b + 8, LayoutCrc(out, names.size()));
  record = out;
  return true;
}

const char* ShowKindName(ShowKind kind) { return kind == ShowKind::kMovie ? "movie" : "pictures"; }
const char* ShowOrderName(ShowOrder order) {
  return order == ShowOrder::kShuffled ? "shuffled" : "as listed";
}
const char* TransitionName(Transition transition) {
  switch (transition) {
    case Transition::kFade:
      return "fade";
    case Transition::kWipe:
      return "wipe";
    default:
      return "cut";
  }
}

}  // namespace ssi
