#pragma once
// The author's own icon and version record in the installer stub, over bytes
// only: the stub's resources are rewritten before the payload is appended and
// before signing. Without an icon and version texts the stub is not touched.
#include "byte_file.h"
#include "status.h"
#include "version_record.h"

namespace ssbuild {

struct StubBranding {
  Bytes icon;  // an .ico file's bytes; empty: the stub's own icons stay
  VersionStrings version;

  bool Any() const { return !icon.empty() || version.Any(); }
};

// Replaces the stub's icons (RT_ICON, RT_GROUP_ICON) with the icon file's and
// its version record with one made of `version`, in the language of the
// stub's record (US English when it has none). A payload offset field that
// held the stub's size is given the new size; the checksum is recomputed.
// Errors name what is wrong ("icon: ...", "version: ...").
Status BrandStub(Bytes& stub, const StubBranding& branding);

}  // namespace ssbuild
