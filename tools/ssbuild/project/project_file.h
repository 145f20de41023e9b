#pragma once
// The project file of `ssbuild build PROJECT.ini`: an INI file, the format of
// the platform, that says everything the build options can say.
//
//   ; comment                    # comment too
//   [variables]                  NAME = VALUE, used as ${NAME} in later values
//   [installer]                  output, name, display (none|picture|movie|silent|0..255),
//                                accept-licence, open-readme, open-display-properties
//                                (yes|no), compression (store|binary[:DICT]|ascii[:DICT]),
//                                level (fast|default|best), codepage, stub,
//                                allow-incomplete, sign, jobs (1..256), icon, product,
//                                publisher, version, copyright, description,
//                                preview-background (#RRGGBB)
//   [files]                      ROLE = FILE, ROLE.name = ENTRY-NAME,
//                                ROLE.compression = MODE (roles: build_project.h)
//   [data-file]                  settings = FILE, first-chunk-kind = N
//   [chunk]                      one per chunk, in order: file, name, kind, compression
//   [copy]                       one per copy: name
//   [show]                       the show layout (cli_show.h): picture = NAME[:SECONDS]
//                                (one line per picture, in order; a path with a folder
//                                or a wildcard adds files: picture_files.h), movie, seconds,
//                                transition, transition-ms, order, publisher, version
//
// The file is UTF-8, with or without a byte order mark, with LF or CR LF
// line ends; one that is not valid UTF-8 is read in the system's ANSI code
// page with a warning naming the line of the first byte that is not. Paths
// are taken relative to the project file's folder, with "\" or "/" as the
// separator on every system. ${NAME} takes the
// value from -D NAME=VALUE, else from [variables]; an unknown name is an
// error. A -D of the command line overrides [variables], and any option
// overrides what the file says. Every error names the file and
// the line; a misspelt section, key, role or value gets the nearest known
// one. A repeated section and a file listed twice are warnings quoting both
// lines (in BuildProject::repeated).
#include <map>
#include <string>
#include <vector>

#include "build_project.h"

namespace ssbuild {

using Defines = std::map<std::string, std::string>;

// Reads the project into `project`; each problem is one "FILE:LINE: text" in
// `errors` (all of them, not only the first).
void LoadProjectFile(const std::string& path, const Defines& defines, BuildProject& project,
                     std::vector<std::string>& errors);

// The same for a project file's text; `path` names it in messages and is
// where relative paths start.
void ParseProjectText(const std::string& text, const std::string& path, const Defines& defines,
                      BuildProject& project, std::vector<std::string>& errors);

}  // namespace ssbuild
