#include "stub_resources.h"

#include <algorithm>

#include "icon_file.h"
#include "le_bytes.h"
#include "payload_offset_field.h"
#include "pe_resources.h"
#include "stub_marker.h"

namespace ssbuild {
namespace {

constexpr uint16_t kUsEnglish = 0x0409;

void Drop(std::vector<Resource>& resources, uint16_t type) {
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [type](const Resource& r) {
                                   return r.type.name.empty() && r.type.id == type;
                                 }),
                  resources.end());
}

Resource Make(uint16_t type, uint16_t id, uint16_t language, Bytes data) {
  Resource r;
  r.type.id = type;
  r.name.id = id;
  r.language = language;
  r.data = std::move(data);
  return r;
}

}  // namespace

Status BrandStub(Bytes& stub, const StubBranding& branding) {
  if (!branding.Any()) return {};
  std::vector<Resource> resources;
  Status status = ReadResources(stub, resources);
  if (!status.ok()) return Status::Fail("the stub's resources: " + status.text());
  uint16_t language = kUsEnglish;
  for (const Resource& r : resources)
    if (r.type.name.empty() && r.type.id == rt::kVersion) language = r.language;

  if (!branding.icon.empty()) {
    IconResources icon;
    status = ReadIconFile(branding.icon, icon);
    if (!status.ok()) return Status::Fail("icon: " + status.text());
    Drop(resources, rt::kIcon);
    Drop(resources, rt::kGroupIcon);
    resources.push_back(Make(rt::kGroupIcon, 1, language, std::move(icon.group)));
    for (size_t i = 0; i < icon.images.size(); ++i)
      resources.push_back(
          Make(rt::kIcon, static_cast<uint16_t>(i + 1), language, std::move(icon.images[i])));
  }
  if (branding.version.Any()) {
    Bytes record;
    status = MakeVersionRecord(branding.version, record);
    if (!status.ok()) return Status::Fail("version record: " + status.text());
    Drop(resources, rt::kVersion);
    resources.push_back(Make(rt::kVersion, 1, language, std::move(record)));
  }

  // The payload offset field holds the stub's size once stamped; it moves
  // with the size.
  const auto oldSize = static_cast<uint32_t>(stub.size());
  const std::vector<size_t> markers = FindPayloadOffsetMarkers(stub, stub.size());
  const bool stamped = markers.size() == 1 && ReadPayloadOffsetField(stub, markers[0]) == oldSize;
  status = WriteResources(stub, resources);
  if (!status.ok()) return Status::Fail("the stub's resources: " + status.text());
  if (stamped) {
    ssi::WriteU32(stub.data() + markers[0] + ssi::kPayloadOffsetMarkerSize,
                  static_cast<uint32_t>(stub.size()));
    return RefreshPeChecksum(stub);
  }
  return {};
}

}  // namespace ssbuild
