#pragma once
// Builds an installer: the stub followed by the payload.
//
//   stub (its payload offset field stamped with its own size)
//   PayloadHeader, 3148 bytes
//   the bytes of the used entries 1..10 in index order, without gaps
//
// Entry 0 describes the stub ("install.exe", kind 6, stored). An empty entry
// has an empty name, kind 5, Compressed 1 and StartOffset = EndOffset = the
// offset where the next used entry's bytes begin (the file size when no used
// entry follows); it owns no bytes. A compressed entry has StoredSize equal
// to its length, a stored one 0; ExpandedSize is always the file's size.
//
// The same input gives byte-identical output: nothing depends on time or on
// memory contents, and every undefined byte is written as 0.
//
// Usage, in-process (this is how the end-to-end tests build installers):
//
//   ssbuild::InstallerInput in;
//   ssbuild::ReadWholeFile("install.exe", in.stub);
//   in.saverName = "meadow";
//   in.displayMode = 3;
//   in.entries[ssi::entry::kSaverProgram].Use(bytes);   // name: meadow.scr
//   ...
//   ssbuild::BuiltInstaller out;
//   ssbuild::Status s = ssbuild::BuildInstaller(in, out);   // out.image
#include <array>
#include <cstdint>
#include <string>

#include "byte_file.h"
#include "compression.h"
#include "payload_format.h"
#include "status.h"

namespace ssbuild {

struct EntrySource {
  bool used = false;
  Bytes bytes;
  std::string sourcePath;  // names the file in messages; its base name is the default entry name
  std::string name;        // overrides the default entry name (payload_roles.h)
  CompressionChoice compression;  // ignored for entry 1, which is always stored

  void Use(Bytes data, std::string path = {}) {
    used = true;
    bytes = std::move(data);
    sourcePath = std::move(path);
  }
};

struct InstallerInput {
  Bytes stub;
  std::string stubPath = "stub";  // for messages
  std::string saverName;
  int displayMode = 0;  // 0..255
  bool licenceFlag = false;
  bool readMeFlag = false;
  bool displayPropertiesFlag = false;
  std::array<EntrySource, ssi::kPayloadEntryCount> entries{};  // [0] is not used
  // Without this the builder refuses an installer that the stub could not
  // install: entry 1 or any of 6..10 missing (the stub stops with
  // "Unspecified error"), a flag whose entry is missing, a preview mode
  // without a preview, or a data file (entry 8) that fails VerifyDataFile,
  // such as one with more than 108 chunks.
  bool allowIncomplete = false;
  unsigned packThreads = 0;  // entries imploded side by side; 0: one per processor
};

struct BuiltInstaller {
  Bytes image;                // the whole installer file
  ssi::PayloadHeader header;  // as written at payloadOffset
  uint32_t payloadOffset = 0;
};

// The largest installer: offsets are signed 32-bit.
constexpr uint64_t kMaxInstallerSize = 0x7FFFFFFF;

Status BuildInstaller(const InstallerInput& input, BuiltInstaller& out);

// Only the checks of BuildInstaller that need no packing, for early refusal.
Status CheckInstallerInput(const InstallerInput& input);

}  // namespace ssbuild
