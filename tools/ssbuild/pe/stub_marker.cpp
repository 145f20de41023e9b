#include "stub_marker.h"

#include <algorithm>
#include <string>

#include "le_bytes.h"
#include "payload_offset_field.h"

namespace ssbuild {

std::vector<size_t> FindPayloadOffsetMarkers(const Bytes& image, size_t limit) {
  std::vector<size_t> found;
  const size_t end = std::min(limit, image.size());
  const uint8_t* const first = ssi::kPayloadOffsetMarker;
  const uint8_t* const last = first + ssi::kPayloadOffsetMarkerSize;
  auto from = image.begin();
  const auto stop = image.begin() + static_cast<std::ptrdiff_t>(end);
  while (true) {
    const auto hit = std::search(from, stop, first, last);
    if (hit == stop) break;
    found.push_back(static_cast<size_t>(hit - image.begin()));
    from = hit + 1;
  }
  return found;
}

uint32_t ReadPayloadOffsetField(const Bytes& image, size_t markerPos) {
  return ssi::ReadU32(image.data() + markerPos + ssi::kPayloadOffsetMarkerSize);
}

Status StampPayloadOffset(Bytes& stub) {
  const std::vector<size_t> markers = FindPayloadOffsetMarkers(stub, stub.size());
  if (markers.empty())
    return Status::Fail("no payload offset marker: this is not an installer stub");
  if (markers.size() > 1)
    return Status::Fail("the payload offset marker occurs " + std::to_string(markers.size()) +
                        " times; the stub would not know which field is its own");
  const size_t pos = markers.front();
  if (pos + ssi::kPayloadOffsetFieldSize > stub.size())
    return Status::Fail("the payload offset field is cut off at the end of the stub");
  const uint32_t size = static_cast<uint32_t>(stub.size());
  const uint32_t old = ReadPayloadOffsetField(stub, pos);
  if (old != 0 && old != size)
    return Status::Fail("the payload offset field already holds " + std::to_string(old) +
                        "; pass the stub as built, not an installer");
  ssi::WriteU32(stub.data() + pos + ssi::kPayloadOffsetMarkerSize, size);
  return {};
}

}  // namespace ssbuild
