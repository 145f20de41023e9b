#pragma once
// Text and JSON listings of installers and data files for `list` and `build`.
#include <iosfwd>

#include "byte_file.h"
#include "data_file_examiner.h"
#include "installer_examiner.h"

namespace ssbuild {

// One line per used entry 1..10 (name, payload bytes, expanded bytes, ratio)
// and a total line.
void PrintInstallerSummary(std::ostream& out, const ssi::PayloadHeader& header, size_t fileSize);
// The header fields, the whole entry table, then the summary.
void PrintInstallerListing(std::ostream& out, const InstallerView& view, size_t fileSize);
void PrintInstallerJson(std::ostream& out, const InstallerView& view, size_t fileSize);

void PrintDataFileSummary(std::ostream& out, const Bytes& image, const DataFileView& view);
void PrintDataFileListing(std::ostream& out, const Bytes& image, const DataFileView& view);
void PrintDataFileJson(std::ostream& out, const Bytes& image, const DataFileView& view);

}  // namespace ssbuild
