#pragma once
// The files a build needs that an author does not have to bring: the stub,
// the compression library and the sample screen saver. Each is taken, in
// this order, from the path the author gave, from the copy that ssbuild
// carries (embedded_files.h), or from beside the ssbuild program (the
// program's folder, or ../share/ssbuild from it, as the kit lays them out).
#include <string>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

constexpr const char* kStubFileName = "install.exe";
constexpr const char* kLibraryFileName = "impborl.dll";
constexpr const char* kSampleSaverFileName = "sample.scr";

// Remembers where the running program is, for the look-up beside it.
void SetProgramPath(const std::string& path);

struct BundledFile {
  std::string path;   // a file on disk; empty when `bytes` holds the carried copy
  Bytes bytes;        // the carried copy
  std::string label;  // how messages name it
};

// Finds `name` (one of the names above). Fails naming the places looked at.
Status FindBundledFile(const std::string& name, BundledFile& out);

// True when ssbuild carries `name` inside itself.
bool CarriesFile(const std::string& name);

}  // namespace ssbuild
