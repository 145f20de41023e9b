#pragma once
// An icon file (.ico) taken apart into the resources a program carries: one
// icon group (RT_GROUP_ICON) listing its images, and each image as an icon
// (RT_ICON) numbered from 1. Bytes only, no file access.
#include <vector>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

struct IconResources {
  Bytes group;                // GRPICONDIR with one 14-byte entry per image
  std::vector<Bytes> images;  // images[i] is icon number i + 1
};

// Refuses what is not an icon file: not type 1, no images, at most 256 of
// them, an image outside the file, or one that is neither a PNG nor a
// device-independent bitmap.
Status ReadIconFile(const Bytes& ico, IconResources& out);

}  // namespace ssbuild
