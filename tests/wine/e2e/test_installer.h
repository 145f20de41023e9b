#pragma once
// Installers made by the tests themselves, byte by byte, so that a test can
// give any entry any name, kind or offsets, including hostile ones that the
// builder would refuse.
#include <array>
#include <cstdint>
#include <string>

#include "payload_format.h"

namespace ssi::e2e {

struct TestEntry {
  std::string name;   // empty: an empty entry
  std::string bytes;  // stored as they are (Compressed 0)
  int32_t kind = 5;
};

struct TestPayload {
  uint8_t displayMode = 1;
  uint8_t licenceFlag = 0;
  uint8_t readMeFlag = 0;
  uint8_t displayPropertiesFlag = 0;
  std::string saverName;
  std::array<TestEntry, kPayloadEntryCount> entries{};  // [0] is filled in from the stub
};

struct ComposedInstaller {
  std::string image;
  uint32_t payloadOffset = 0;
  PayloadHeader header;
};

// The stub with its payload offset field stamped, the header, then the bytes
// of the used entries in index order. Fails the calling test when the stub
// carries no single payload offset marker.
ComposedInstaller Compose(const std::string& stub, const TestPayload& payload);

// Writes `header` over the one in `installer` (for offsets and kinds that
// Compose would never produce).
void RewriteHeader(ComposedInstaller& installer, const PayloadHeader& header);

// A small 24-bit bottom-up bitmap file, a gradient of `width` by `height`.
std::string MakeBitmap(int width, int height);

// The sample screen saver "meadow": bitmap preview "installer.scf", licence,
// read-me, a (not runnable) program and data file. `library` is the bytes of
// impborl.dll.
TestPayload MeadowPayload(const std::string& library, bool withLicence, bool withReadMe);

constexpr const char* kLicenceText =
    "Meadow screen saver licence\r\n\r\nYou may use this screen saver on any number of "
    "computers.\r\n";
constexpr const char* kReadMeText = "Meadow screen saver\r\n\r\nA quiet meadow in the wind.\r\n";

}  // namespace ssi::e2e
