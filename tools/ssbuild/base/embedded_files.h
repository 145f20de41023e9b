#pragma once
// Files that ssbuild carries inside itself: the stub (install.exe), the
// compression library (impborl.dll) and the sample screen saver
// (sample.scr), turned into byte arrays when ssbuild is built
// (cmake/EmbedFiles.cmake). A native ssbuild built without a Win32 build
// beside it carries none of them.
#include <cstddef>
#include <string>

namespace ssbuild {

struct EmbeddedFile {
  const char* name;  // nullptr ends the table
  const unsigned char* data;
  size_t size;
};

// The table, ended by an entry whose name is nullptr.
const EmbeddedFile* EmbeddedFiles();

}  // namespace ssbuild
