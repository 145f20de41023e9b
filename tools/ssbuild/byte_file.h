#pragma once
// Whole-file reads and writes for the builder. Paths are passed to the C
// library as they are, so the Win32 build takes ANSI paths like the stub.
#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace ssbuild {

using Bytes = std::vector<uint8_t>;

// Reads the whole file. Failures read "PATH: cannot open: REASON" and
// "PATH: cannot read: REASON".
Status ReadWholeFile(const std::string& path, Bytes& out);

// Creates or replaces the file with exactly `bytes`. A partly written file is
// removed again, so a failed build leaves no half installer behind.
Status WriteWholeFile(const std::string& path, const Bytes& bytes);

// The text after the last "/" or "\" (and after a drive colon): the name a
// file is given inside a payload or data file by default.
std::string BaseName(const std::string& path);

}  // namespace ssbuild
