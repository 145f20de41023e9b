#include "payload_format.h"

#include <algorithm>
#include <cstring>

#include "le_bytes.h"

namespace ssi {

std::string PayloadHeader::SaverName() const {
  const auto* begin = nameField.data();
  const auto* end = std::find(begin, begin + nameField.size(), uint8_t{0});
  return std::string(begin, end);
}

void PayloadHeader::SetSaverName(const std::string& name) {
  nameField.fill(0);
  std::memcpy(nameField.data(), name.data(), std::min(name.size(), nameField.size()));
}

PayloadEntry ParsePayloadEntry(const uint8_t* b) {
  PayloadEntry e;
  e.name.assign(reinterpret_cast<const char*>(b + 1), b[0]);
  e.startOffset = ReadI32(b + 256);
  e.endOffset = ReadI32(b + 260);
  e.kind = ReadI32(b + 264);
  e.compressed = b[268];
  std::memcpy(e.padding.data(), b + 269, 3);
  e.storedSize = ReadI32(b + 272);
  e.expandedSize = ReadI32(b + 276);
  return e;
}

void SerializePayloadEntry(const PayloadEntry& e, uint8_t* b) {
  std::memset(b, 0, kPayloadEntrySize);
  const size_t n = std::min(e.name.size(), kEntryNameMax);
  b[0] = static_cast<uint8_t>(n);
  std::memcpy(b + 1, e.name.data(), n);
  WriteI32(b + 256, e.startOffset);
  WriteI32(b + 260, e.endOffset);
  WriteI32(b + 264, e.kind);
  b[268] = e.compressed;
  std::memcpy(b + 269, e.padding.data(), 3);
  WriteI32(b + 272, e.storedSize);
  WriteI32(b + 276, e.expandedSize);
}

PayloadHeader ParsePayloadHeader(const uint8_t* b) {
  PayloadHeader h;
  h.displayMode = b[0];
  h.licenceFlag = b[1];
  h.readMeFlag = b[2];
  h.displayPropertiesFlag = b[3];
  std::memcpy(h.nameField.data(), b + 4, kSaverNameFieldSize);
  for (size_t i = 0; i < kPayloadEntryCount; ++i)
    h.entries[i] = ParsePayloadEntry(b + kEntriesOffset + i * kPayloadEntrySize);
  return h;
}

void SerializePayloadHeader(const PayloadHeader& h, uint8_t* b) {
  b[0] = h.displayMode;
  b[1] = h.licenceFlag;
  b[2] = h.readMeFlag;
  b[3] = h.displayPropertiesFlag;
  std::memcpy(b + 4, h.nameField.data(), kSaverNameFieldSize);
  for (size_t i = 0; i < kPayloadEntryCount; ++i)
    SerializePayloadEntry(h.entries[i], b + kEntriesOffset + i * kPayloadEntrySize);
}

}  // namespace ssi
