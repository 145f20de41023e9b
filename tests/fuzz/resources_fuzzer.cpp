// libFuzzer target: arbitrary bytes as a program whose resources the builder
// rewrites, as an icon file and as a picture. Besides never crashing: what
// ReadResources reads, WriteResources writes back readable, and a second
// round over that changes no byte; an icon file that is taken gives a group
// with one 14-byte entry per image; a picture that decodes has a size.
#include <cstdint>

#include "fuzz_check.h"
#include "icon_file.h"
#include "pe_resources.h"
#include "picture_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ssbuild::Bytes input(data, data + size);
  std::vector<ssbuild::Resource> first;
  if (ssbuild::ReadResources(input, first).ok()) {
    ssbuild::Bytes image = input;
    if (ssbuild::WriteResources(image, first).ok()) {
      std::vector<ssbuild::Resource> again;
      FUZZ_CHECK(ssbuild::ReadResources(image, again).ok());
      // Once written, a second round changes nothing.
      ssbuild::Bytes twice = image;
      FUZZ_CHECK(ssbuild::WriteResources(twice, again).ok());
      FUZZ_CHECK(twice == image);
      FUZZ_CHECK(again.size() <= first.size());
    }
  }
  ssbuild::IconResources icon;
  if (ssbuild::ReadIconFile(input, icon).ok())
    FUZZ_CHECK(icon.group.size() == 6 + 14 * icon.images.size() && !icon.images.empty());
  ssbuild::PictureFacts facts;
  if (size < (1u << 20) && ssbuild::CheckPicture(input, facts).ok())
    FUZZ_CHECK(facts.width > 0 && facts.height > 0);
  return 0;
}
