#pragma once
// Show pictures given by their files in the project's [show] section:
//
//   picture = pictures/*.jpg        every match, in name order
//   picture = pictures/             every picture file of the folder
//   picture = art/sunrise.png:10    one file, shown 10 seconds
//
// Each file becomes a chunk of the data file (unless a chunk already carries
// it) and a picture of the show layout under its file name. A value without
// a "/" or "\" and without a wildcard keeps its old meaning: the name of a
// file in the screen saver's folder.
#include <filesystem>
#include <string>

#include "build_project.h"

namespace ssbuild {

bool IsPictureFileValue(const std::string& value);

// Empty when the files were added, else the problem (no match, not a
// folder, ...). `origin` ("project.ini:12") goes with each chunk.
std::string AddPictureFiles(const std::string& value, const std::filesystem::path& base,
                            const std::string& origin, BuildProject& project);

// Whether `name` matches `pattern` ("*" any run, "?" one character), ASCII
// letters in any case: Windows' own rule, kept on every platform so a project
// builds the same everywhere.
bool WildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace ssbuild
