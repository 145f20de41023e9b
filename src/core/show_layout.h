#pragma once
// What the installed screen saver shows, kept in the settings record's bytes
// that the installer carries to saver.dat without reading them. Integers
// little-endian; offsets into the 1220-byte settings record.
//
//   0     4  Magic           "SSLY"
//   4     1  Version         the layout version that wrote it (1)
//   5     1  ReadableFrom    the lowest reader version that understands it;
//                            a reader older than this ignores the layout
//   6     2  NamesSize       bytes used at 216 (0..976)
//   8     4  Crc             CRC-32 (zlib's) of bytes 12..211, then of the
//                            NamesSize bytes at 216
//   12    1  Show            1 pictures, 2 a movie (pictures as the fall-back)
//   13    1  Order           0 as listed, 1 shuffled
//   14    1  Transition      0 cut, 1 fade, 2 wipe
//   15    1  PictureCount    0..100
//   16    2  PictureSeconds  1..3600, for pictures without their own
//   18    2  TransitionMs    0..5000
//   20   64  Publisher       NUL-terminated, at most 63 bytes
//   84   32  DisplayVersion  NUL-terminated, at most 31 bytes
//   116  96  zero
//   212   4  (ChunkCount, the installer's)
//   216 976  Names: MovieLength (1), Movie; then per picture Seconds (2,
//            0 = PictureSeconds), NameLength (1), Name; the rest zero
//   1192  4  (FirstChunkKind, the installer's)
//   1196 24  zero
//
// Names are plain file names in the screen saver's folder. A record without
// the magic holds no layout (a data file made before layouts, or an author's
// own settings); the screen saver then shows every picture of its folder.
#include <cstdint>
#include <string>
#include <vector>

#include "data_file_format.h"

namespace ssi {

constexpr uint8_t kShowLayoutVersion = 1;
constexpr size_t kShowNamesOffset = 216;
constexpr size_t kShowNamesCapacity = 976;
constexpr size_t kMaxShowPictures = 100;
constexpr size_t kPublisherField = 64;
constexpr size_t kDisplayVersionField = 32;
constexpr uint16_t kDefaultPictureSeconds = 6;
constexpr uint16_t kMaxPictureSeconds = 3600;
constexpr uint16_t kDefaultTransitionMs = 700;
constexpr uint16_t kMaxTransitionMs = 5000;

enum class ShowKind : uint8_t { kPictures = 1, kMovie = 2 };
enum class ShowOrder : uint8_t { kAsListed = 0, kShuffled = 1 };
enum class Transition : uint8_t { kCut = 0, kFade = 1, kWipe = 2 };

struct ShowPicture {
  std::string name;
  uint16_t seconds = 0;  // 0: the layout's PictureSeconds
};

struct ShowLayout {
  ShowKind show = ShowKind::kPictures;
  ShowOrder order = ShowOrder::kAsListed;
  Transition transition = Transition::kFade;
  uint16_t pictureSeconds = kDefaultPictureSeconds;
  uint16_t transitionMs = kDefaultTransitionMs;
  std::string movie;
  std::vector<ShowPicture> pictures;  // empty: every picture of the folder
  std::string publisher;
  std::string displayVersion;
};

enum class LayoutState {
  kAbsent,   // no magic: defaults
  kRead,     // read; values out of range were brought into range
  kNewer,    // written for readers newer than this one: defaults
  kDamaged,  // checksum or structure wrong: defaults
};

// Never fails: anything it cannot trust leaves `layout` at its defaults.
LayoutState ReadShowLayout(const SettingsRecord& record, ShowLayout& layout);

// Writes `layout` into the free bytes, leaving ChunkCount and FirstChunkKind
// alone. False, with `error` saying why, when it does not fit or a value is
// out of range; `record` is then unchanged.
bool WriteShowLayout(const ShowLayout& layout, SettingsRecord& record, std::string& error);

const char* ShowKindName(ShowKind kind);
const char* ShowOrderName(ShowOrder order);
const char* TransitionName(Transition transition);

}  // namespace ssi
