#pragma once
// The project file reader's state while it reads one file (project_file.h),
// and its steps: project_file.cpp reads lines, sections and variables,
// project_keys.cpp the keys of each section.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "build_project.h"
#include "project_file.h"

namespace ssbuild {

struct ProjectReader {
  ProjectReader(const std::string& file, const Defines& given, BuildProject& out,
                std::vector<std::string>& problems);

  // "FILE:LINE: text" for the line being read.
  void Error(const std::string& text);
  std::string Origin() const { return projectPath + ":" + std::to_string(lineNumber); }
  void Warning(const std::string& text) { project.repeated.push_back(Origin() + ": " + text); }
  // "line 7 (file = a.bmp)": a line quoted for a warning about two of them.
  std::string Quote(int line) const {
    return "line " + std::to_string(line) + " (" + lines[static_cast<size_t>(line - 1)] + ")";
  }
  std::string QuoteBoth(int first) const { return Quote(first) + " and " + Quote(lineNumber); }
  // The same file listed twice would be packed twice.
  void Listed(const std::string& path);
  // A [chunk] needs its file and a [copy] its name; said at the section's line.
  void CloseChunk();
  // Replaces every ${NAME}; false (with the error given) for an unknown name.
  bool Expand(const std::string& text, std::string& out);
  // Either separator works on every system, so a project file written on
  // Windows builds elsewhere too.
  std::string PathValue(std::string value) const;
  // A file of the project, made absolute; an empty value is an error that
  // says what to write.
  bool FileValue(const std::string& key, const std::string& value, const std::string& example,
                 std::string& out);
  bool YesNo(const std::string& key, const std::string& value, bool& out);
  bool Compression(const std::string& key, const std::string& value, CompressionChoice& out);

  const std::string projectPath;
  const Defines& defines;
  BuildProject& project;
  std::vector<std::string>& errors;
  std::filesystem::path base;  // the project file's folder
  Defines variables;
  std::string section;
  int lineNumber = 0;
  int chunkLine = 0;
  std::vector<std::string> lines;           // every line read, trimmed, to be quoted
  std::map<std::string, int> sectionLines;  // the first line of each section
  std::map<std::string, int> fileLines;     // the first line of each file listed
};

// " (did you mean X?)" for a value near one of `known`, else nothing: the
// message lists the values already.
std::string Close(const std::string& value, const std::vector<std::string>& known);

// One KEY = VALUE of each section (project_keys.cpp).
void ReadInstallerKey(ProjectReader& r, const std::string& key, const std::string& value);
void ReadFilesKey(ProjectReader& r, const std::string& key, const std::string& value);
void ReadDataFileKey(ProjectReader& r, const std::string& key, const std::string& value);
void ReadChunkKey(ProjectReader& r, const std::string& key, const std::string& value);
void ReadShowKey(ProjectReader& r, const std::string& key, const std::string& value);

}  // namespace ssbuild
