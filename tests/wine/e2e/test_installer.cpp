#include "test_installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "payload_offset_field.h"

namespace ssi::e2e {
namespace {

void PutLe32(std::string& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

std::vector<size_t> MarkerPositions(const std::string& stub) {
  const std::string marker(reinterpret_cast<const char*>(kPayloadOffsetMarker),
                           kPayloadOffsetMarkerSize);
  std::vector<size_t> found;
  for (size_t at = stub.find(marker); at != std::string::npos; at = stub.find(marker, at + 1))
    found.push_back(at);
  return found;
}

}  // namespace

ComposedInstaller Compose(const std::string& stub, const TestPayload& payload) {
  ComposedInstaller out;
  out.image = stub;
  const std::vector<size_t> markers = MarkerPositions(stub);
  EXPECT_EQ(markers.size(), 1u) << "the stub should carry exactly one payload offset marker";
  if (markers.size() == 1)
    PutLe32(out.image, markers[0] + kPayloadOffsetMarkerSize, static_cast<uint32_t>(stub.size()));
  out.payloadOffset = static_cast<uint32_t>(stub.size());

  PayloadHeader& h = out.header;
  h.displayMode = payload.displayMode;
  h.licenceFlag = payload.licenceFlag;
  h.readMeFlag = payload.readMeFlag;
  h.displayPropertiesFlag = payload.displayPropertiesFlag;
  h.SetSaverName(payload.saverName);

  PayloadEntry& stubEntry = h.entries[0];
  stubEntry.name = "install.exe";
  stubEntry.startOffset = 0;
  stubEntry.endOffset = static_cast<int32_t>(stub.size()) - 1;
  stubEntry.kind = 6;
  stubEntry.expandedSize = static_cast<int32_t>(stub.size());

  std::string body;
  auto next = static_cast<int64_t>(stub.size() + kPayloadHeaderSize);
  for (size_t i = 1; i < kPayloadEntryCount; ++i) {
    const TestEntry& source = payload.entries[i];
    PayloadEntry& e = h.entries[i];
    e.kind = source.kind;
    if (source.name.empty() || source.bytes.empty()) {
      // An empty entry sits where the next used entry begins; fixed below.
      e.compressed = 1;
      continue;
    }
    e.name = source.name.substr(0, kEntryNameMax);
    e.startOffset = static_cast<int32_t>(next);
    e.endOffset = static_cast<int32_t>(next + static_cast<int64_t>(source.bytes.size()) - 1);
    e.expandedSize = static_cast<int32_t>(source.bytes.size());
    body += source.bytes;
    next += static_cast<int64_t>(source.bytes.size());
  }
  int32_t following = static_cast<int32_t>(next);
  for (size_t i = kPayloadEntryCount - 1; i >= 1; --i) {
    PayloadEntry& e = h.entries[i];
    if (e.IsEmpty()) {
      e.startOffset = e.endOffset = following;
    } else {
      following = e.startOffset;
    }
  }
  std::string header(kPayloadHeaderSize, '\0');
  SerializePayloadHeader(h, reinterpret_cast<uint8_t*>(header.data()));
  out.image += header;
  out.image += body;
  return out;
}

void RewriteHeader(ComposedInstaller& installer, const PayloadHeader& header) {
  installer.header = header;
  std::string bytes(kPayloadHeaderSize, '\0');
  SerializePayloadHeader(header, reinterpret_cast<uint8_t*>(bytes.data()));
  installer.image.replace(installer.payloadOffset, kPayloadHeaderSize, bytes);
}

std::string MakeBitmap(int width, int height) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const auto pixelBytes = static_cast<uint32_t>(rowBytes * height);
  std::string bmp(54 + pixelBytes, '\0');
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutLe32(bmp, 2, 54 + pixelBytes);
  PutLe32(bmp, 10, 54);
  PutLe32(bmp, 14, 40);
  PutLe32(bmp, 18, static_cast<uint32_t>(width));
  PutLe32(bmp, 22, static_cast<uint32_t>(height));
  bmp[26] = 1;   // planes
  bmp[28] = 24;  // bits per pixel
  PutLe32(bmp, 34, pixelBytes);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const size_t at = 54 + static_cast<size_t>(y * rowBytes + x * 3);
      bmp[at + 0] =
          static_cast<char>(60 + 120 * y / std::max(1, height - 1));  // blue: sky at the top
      bmp[at + 1] = static_cast<char>(120 + 100 * x / std::max(1, width - 1));  // green: the meadow
      bmp[at + 2] = static_cast<char>(40);
    }
  }
  return bmp;
}

TestPayload MeadowPayload(const std::string& library, bool withLicence, bool withReadMe) {
  TestPayload p;
  p.displayMode = 1;
  p.saverName = "meadow";
  p.licenceFlag = withLicence ? 1 : 0;
  p.readMeFlag = withReadMe ? 1 : 0;
  p.entries[entry::kCompressionLibrary] = {"impborl.dat", library, 3};
  p.entries[entry::kPreview] = {"installer.scf", MakeBitmap(350, 150), 5};
  if (withLicence) p.entries[entry::kLicence] = {"licence.txt", kLicenceText, 5};
  if (withReadMe) p.entries[entry::kReadMe] = {"readme.txt", kReadMeText, 5};
  p.entries[entry::kSaverProgram] = {"meadow.scr", std::string(4096, 'S'), 2};
  p.entries[entry::kFurtherFile] = {"meadow.txt", "further file\r\n", 5};
  p.entries[entry::kDataFile] = {"meadow.ssd", std::string(1220, '\0'), 4};
  return p;
}

}  // namespace ssi::e2e
