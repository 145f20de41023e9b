#include <gtest/gtest.h>

#include "payload_format.h"

namespace ssi {
namespace {

TEST(PayloadHeader, RoundTripsEveryField) {
  PayloadHeader h;
  h.displayMode = 3;
  h.readMeFlag = 1;
  h.SetSaverName("meadow");
  h.entries[6].name = "meadow.scr";
  h.entries[6].startOffset = 1215173;
  h.entries[6].endOffset = 1416991;
  h.entries[6].kind = 2;
  h.entries[6].compressed = 1;
  h.entries[6].storedSize = 201819;
  h.entries[6].expandedSize = 634880;
  uint8_t bytes[kPayloadHeaderSize];
  SerializePayloadHeader(h, bytes);
  const PayloadHeader back = ParsePayloadHeader(bytes);
  EXPECT_EQ(back.SaverName(), "meadow");
  EXPECT_EQ(back.entries[6].name, "meadow.scr");
  EXPECT_EQ(back.entries[6].Length(), 201819);
  EXPECT_EQ(back.entries[6].expandedSize, 634880);
}

}  // namespace
}  // namespace ssi
