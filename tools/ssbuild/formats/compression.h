#pragma once
// How the builder implodes entries and chunks, and how it checks them again.
#include <cstdint>
#include <string>
#include <vector>

#include "byte_file.h"
#include "dcl_level.h"
#include "status.h"

namespace ssbuild {

// Per entry or chunk: implode (binary or ASCII mode, 1024/2048/4096-byte
// dictionary) or keep the bytes as they are.
struct CompressionChoice {
  bool implode = true;
  bool ascii = false;
  unsigned dictSize = 4096;
  // How hard implode searches; every level gives a stream any decoder reads.
  ssi::dcl::ImplodeLevel level = ssi::dcl::ImplodeLevel::kDefault;
};

// Parses "fast", "default" or "best"; false for anything else.
bool ParseImplodeLevel(const std::string& text, ssi::dcl::ImplodeLevel& out);

// Parses "store", "binary", "ascii", "binary:4096", "ascii:2048", ... into
// `out`; false for anything else.
bool ParseCompressionChoice(const std::string& text, CompressionChoice& out);
std::string DescribeCompressionChoice(const CompressionChoice& choice);

// The result of packing one file.
struct PackedBytes {
  Bytes stored;  // the bytes that go into the payload or data file
  bool compressed = false;
};

// Implodes `data` as `choice` asks and keeps the result only when it is
// smaller than `data`; otherwise (or when `choice` says store) the bytes stay
// as they are. `forceImplode` keeps the imploded form even when it is larger:
// an empty file cannot be stored as a payload entry (a length of 0 is refused
// by the stub), but imploded it is a few bytes that expand to nothing.
Status Pack(const Bytes& data, const CompressionChoice& choice, bool forceImplode,
            PackedBytes& out);

// One file to pack; PackAll fills in `out` and `status`.
struct PackJob {
  const Bytes* data = nullptr;
  CompressionChoice choice;
  bool forceImplode = false;
  PackedBytes out;
  Status status;
};

// Packs every job, up to `threads` at a time (0: one per processor). Each
// job's result depends on its own input only, so the output is the same for
// any thread count. Where the toolchain has no threads (mingw's win32 thread
// model) the jobs run one after the other.
void PackAll(std::vector<PackJob>& jobs, unsigned threads);

// Implodes raw bytes with the given mode, dictionary and level.
Status ImplodeRaw(const Bytes& data, bool ascii, unsigned dictSize, Bytes& out,
                  ssi::dcl::ImplodeLevel level = ssi::dcl::ImplodeLevel::kDefault);

// Explodes a whole stream, producing at most `maxOutput` bytes. A failure
// names the fault: "invalid dictionary size", "invalid compression mode",
// "bad data", "truncated data", or "output larger than N bytes".
Status Explode(const uint8_t* data, size_t size, size_t maxOutput, Bytes& out);

// Expands an imploded block that must give exactly `expectedSize` bytes. The
// codec is allowed one byte more than that, so an overlong stream shows as a
// size mismatch instead of being cut to fit.
Status ExplodeExactly(const uint8_t* data, size_t size, size_t expectedSize, Bytes& out);

}  // namespace ssbuild
