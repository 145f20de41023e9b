#pragma once
// The installer file is the stub followed directly by the payload:
//
//   offset 0              the stub (entry 0 describes it)
//   PayloadOffset         PayloadHeader, 3148 bytes (PayloadOffset = stub size)
//   PayloadOffset + 3148  the bytes of entries 1..10, in index order, no gaps;
//                         the last used entry ends at the last byte of the file
//
// PayloadHeader (all integers little-endian; no signature, version or checksum):
//   0     1  DisplayMode     1 bitmap preview, 2/3 Flash movie, 4 silent install
//   1     1  LicenceFlag     non-zero: entry 4 is a licence text
//   2     1  ReadMeFlag      non-zero: entry 5 is a read-me
//   3     1  DisplayPropertiesFlag  non-zero: open Display Properties afterwards
//   4    64  name            screen saver name, ends at first NUL or field end
//   68 3080  entries         11 PayloadEntry records of 280 bytes
//
// PayloadEntry:
//   0     1  name length     0..255, 0 marks an empty entry
//   1   255  name            only `name length` bytes count
//   256   4  StartOffset     absolute offset of the first byte
//   260   4  EndOffset       absolute offset of the last byte, inclusive
//   264   4  Kind            EntryKind, chooses the destination folder
//   268   1  Compressed      non-zero: imploded (PKWARE DCL); one byte only,
//   269   3  (undefined)     the three bytes after it may hold anything
//   272   4  StoredSize      entry length when compressed, else 0 (never read)
//   276   4  ExpandedSize    size of the written file
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ssi {

constexpr size_t kPayloadHeaderSize = 3148;
constexpr size_t kPayloadEntrySize = 280;
constexpr size_t kPayloadEntryCount = 11;
constexpr size_t kSaverNameFieldSize = 64;
constexpr size_t kEntryNameMax = 255;
constexpr size_t kEntriesOffset = 68;
static_assert(kEntriesOffset + kPayloadEntryCount * kPayloadEntrySize == kPayloadHeaderSize,
              "payload header layout");

// Indices of the entries with fixed roles.
namespace entry {
constexpr int kStub = 0;
constexpr int kCompressionLibrary = 1;
constexpr int kFlashInstaller = 2;
constexpr int kPreview = 3;
constexpr int kLicence = 4;
constexpr int kReadMe = 5;
constexpr int kSaverProgram = 6;
constexpr int kFurtherFile = 7;
constexpr int kDataFile = 8;
constexpr int kSupportLibrary1 = 9;
constexpr int kSupportLibrary2 = 10;
}  // namespace entry

enum class DisplayMode : uint8_t { kNone = 0, kBitmap = 1, kMovie = 2, kMovieAlt = 3, kSilent = 4 };

struct PayloadEntry {
  std::string name;  // up to 255 ANSI bytes, no folder part
  int32_t startOffset = 0;
  int32_t endOffset = 0;
  int32_t kind = 0;
  uint8_t compressed = 0;            // the one flag byte
  std::array<uint8_t, 3> padding{};  // carried as read so that files round-trip
  int32_t storedSize = 0;
  int32_t expandedSize = 0;

  bool IsEmpty() const { return name.empty(); }
  // EndOffset - StartOffset + 1, in 64 bits so hostile offsets cannot overflow.
  int64_t Length() const { return static_cast<int64_t>(endOffset) - startOffset + 1; }
};

struct PayloadHeader {
  uint8_t displayMode = 0;
  uint8_t licenceFlag = 0;
  uint8_t readMeFlag = 0;
  uint8_t displayPropertiesFlag = 0;
  std::array<uint8_t, kSaverNameFieldSize> nameField{};  // raw, bytes after the NUL kept
  std::array<PayloadEntry, kPayloadEntryCount> entries{};

  // The name up to its first NUL or the end of the field.
  std::string SaverName() const;
  void SetSaverName(const std::string& name);  // truncates to 64 bytes, NUL-fills
};

// Reads a header from exactly kPayloadHeaderSize bytes.
PayloadHeader ParsePayloadHeader(const uint8_t* bytes);
// Writes the header into exactly kPayloadHeaderSize bytes. Name bytes past
// `name length` are written as zeros.
void SerializePayloadHeader(const PayloadHeader& header, uint8_t* bytes);

PayloadEntry ParsePayloadEntry(const uint8_t* bytes);
void SerializePayloadEntry(const PayloadEntry& entry, uint8_t* bytes);

}  // namespace ssi
