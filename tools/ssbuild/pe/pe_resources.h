#pragma once
// The resource section of a 32-bit Windows program, read into a tree and
// written back, over byte buffers only (no file access), so the builder and a
// file-system-free caller can both use it.
//
// Resources are a three-level tree: type, name, language. A name or type is a
// number or a UTF-16 string. Writing sorts each level as Windows looks it up
// (strings first, by code unit, then numbers, ascending) and lays out
// directories, then strings, then data entries, then the data, each piece
// 4-byte aligned (data 8-byte aligned), with zero time stamps.
#include <cstdint>
#include <string>
#include <vector>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

struct ResourceKey {
  uint16_t id = 0;
  std::u16string name;  // used when not empty

  bool operator==(const ResourceKey& o) const { return id == o.id && name == o.name; }
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  Bytes data;
};

namespace rt {
constexpr uint16_t kIcon = 3;
constexpr uint16_t kGroupIcon = 14;
constexpr uint16_t kVersion = 16;
}  // namespace rt

// Reads every resource of `image`; none (and success) when it has no
// resource directory.
Status ReadResources(const Bytes& image, std::vector<Resource>& out);

// Replaces the program's resources with `resources`: the resource section is
// rebuilt where it was; sections after it (only ones that nothing but a data
// directory points into, such as relocations) move up or down with their
// data directories; section sizes, the image size, the initialised data size,
// the resource data directory and the checksum are brought up to date.
// Refuses a signed program (a signature would no longer match) and layouts it
// cannot rebuild.
Status WriteResources(Bytes& image, const std::vector<Resource>& resources);

// The PE checksum of `image` (its CheckSum field counted as zero).
uint32_t PeChecksum(const Bytes& image, size_t checksumOffset);

// Writes the checksum of `image` into its CheckSum field.
Status RefreshPeChecksum(Bytes& image);

}  // namespace ssbuild
