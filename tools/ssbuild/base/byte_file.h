#pragma once
// Whole-file reads and writes for the builder, by UTF-8 path (native_file.h).
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

// The same, but failing when anything has the name already, a link
// included: what `extract` writes with, so that a link planted in the
// output folder cannot send a file elsewhere.
Status WriteNewFile(const std::string& path, const Bytes& bytes);

// The text after the last "/" or "\" (and after a drive colon): the name a
// file is given inside a payload or data file by default.
std::string BaseName(const std::string& path);

}  // namespace ssbuild
