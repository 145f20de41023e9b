#include "icon_file.h"

#include "le_bytes.h"

namespace ssbuild {
namespace {

constexpr size_t kDirSize = 6;
constexpr size_t kFileEntrySize = 16;
constexpr size_t kGroupEntrySize = 14;
constexpr size_t kMaxImages = 256;

uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

bool IsImage(const Bytes& image) {
  static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (image.size() >= 8 && std::equal(kPng, kPng + 8, image.begin())) return true;
  return image.size() >= 40 && ssi::ReadU32(image.data()) >= 40 &&
         ssi::ReadU32(image.data()) <= 124;
}

}  // namespace

Status ReadIconFile(const Bytes& ico, IconResources& out) {
  out = IconResources{};
  if (ico.size() < kDirSize || U16(ico, 0) != 0 || U16(ico, 2) != 1)
    return Status::Fail("not an icon file (.ico)");
  const size_t count = U16(ico, 4);
  if (count == 0) return Status::Fail("the icon file holds no image");
  if (count > kMaxImages) return Status::Fail("the icon file holds more than 256 images");
  if (ico.size() < kDirSize + count * kFileEntrySize)
    return Status::Fail("the icon file is cut short");
  out.group.assign(ico.begin(), ico.begin() + kDirSize);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = &ico[kDirSize + i * kFileEntrySize];
    const uint32_t size = ssi::ReadU32(entry + 8);
    const uint32_t offset = ssi::ReadU32(entry + 12);
    if (size == 0 || uint64_t{offset} + size > ico.size())
      return Status::Fail("image " + std::to_string(i + 1) + " lies outside the icon file");
    Bytes image(ico.begin() + static_cast<std::ptrdiff_t>(offset),
                ico.begin() + static_cast<std::ptrdiff_t>(offset + size));
    if (!IsImage(image))
      return Status::Fail("image " + std::to_string(i + 1) + " is neither a PNG nor a bitmap");
    // The group's entry is the file's, with the icon's number instead of the offset.
    out.group.insert(out.group.end(), entry, entry + 12);
    const auto id = static_cast<uint16_t>(i + 1);
    out.group.push_back(static_cast<uint8_t>(id));
    out.group.push_back(static_cast<uint8_t>(id >> 8));
    out.images.push_back(std::move(image));
  }
  static_assert(kGroupEntrySize == 12 + 2, "a group entry ends in the icon's number");
  return {};
}

}  // namespace ssbuild
