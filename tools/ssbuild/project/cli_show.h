#pragma once
// The screen saver's show layout on the builder's command line: what
// `ssbuild data` (and `build`, into its data file) writes into the settings
// record's free bytes, and how `list` shows it.
//
//   --show picture NAME[:SECONDS]   a picture of the list (repeatable)
//   --show movie NAME               a movie, with the pictures as fall-back
//   --seconds N                     how long a picture stays (1..3600)
//   --transition cut|fade|wipe [--transition-ms N]
//   --order listed|shuffled
//   --publisher TEXT --version TEXT the uninstall entry's Publisher and
//                                   DisplayVersion
#include <iosfwd>
#include <string>

#include "build_project.h"
#include "byte_file.h"
#include "cli_args.h"
#include "installer_builder.h"
#include "show_layout.h"

namespace ssbuild {

// Sets one setting of the layout by its project file key: picture
// (NAME[:SECONDS], adds one), movie, seconds, transition, transition-ms,
// order, publisher, version. Returns what is wrong with `value`, empty when
// it was taken; `known` is false (and nothing set) for any other key.
std::string SetShowValue(const std::string& key, const std::string& value, ShowOptions& show,
                         bool& known);

// Takes one of the options above; false when `option` is none of them.
bool TakeShowOption(const std::string& option, ArgList& args, ShowOptions& show);

// Writes the layout into the data file's settings record when any option was
// given; names that no chunk writes are listed in `warnings`.
Status ApplyShowOptions(const ShowOptions& show, Bytes& dataFile, std::string& warnings);

// The same for the data file that `build` puts into entry 8; fails when
// there is none.
Status ApplyShowOptions(const ShowOptions& show, EntrySource& dataEntry, std::string& warnings);

// "show layout: ..." lines for a settings record.
void PrintShowLayout(std::ostream& out, const ssi::SettingsRecord& settings);

}  // namespace ssbuild
