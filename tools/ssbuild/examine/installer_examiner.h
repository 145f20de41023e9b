#pragma once
// Reading an installer back: where its payload is, its header, each entry's
// file, and a check of every layout rule the builder follows.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_file.h"
#include "payload_format.h"
#include "status.h"

namespace ssbuild {

struct InstallerView {
  uint32_t payloadOffset = 0;
  ssi::PayloadHeader header;
};

// Finds the payload through the stub's offset field: the first marker in the
// file belongs to the stub, which comes first (a payload entry may carry the
// marker too, for example a packed copy of a stub). `forcedOffset` skips the
// search. Fails when the header does not fit into the file.
Status ReadInstaller(const Bytes& image, std::optional<uint32_t> forcedOffset, InstallerView& out);

// True when the first marker's offset field leaves room for a header behind it.
bool LooksLikeInstaller(const Bytes& image);

// Bytes [StartOffset, EndOffset] of an entry, checked to lie inside the file.
Status EntryBytes(const Bytes& image, const ssi::PayloadEntry& entry, Bytes& out);

// The entry's file as the stub would write it: the stored bytes, or the
// expanded bytes of a compressed entry, which must come to ExpandedSize.
Status EntryContent(const Bytes& image, const ssi::PayloadEntry& entry, Bytes& out);

struct VerifyOptions {
  bool allowIncomplete = false;  // see InstallerInput::allowIncomplete
};

// Every broken rule, one line each; empty when the installer is sound.
// Checks: the stub's offset field (one marker, value = stub size); entry 0;
// the screen saver name; every used entry inside the file, in index order,
// without gaps, up to the last byte; empty entries pointing at the next used
// entry; names, kinds and destinations of the roles; StoredSize and
// ExpandedSize; every compressed entry expanding to ExpandedSize; and the data
// file in entry 8.
std::vector<std::string> VerifyInstaller(const Bytes& image, const InstallerView& view,
                                         const VerifyOptions& options = {});

}  // namespace ssbuild
