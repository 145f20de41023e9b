#include "project_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "code_page.h"
#include "native_file.h"
#include "project_reader.h"
#include "suggestions.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

const std::vector<std::string> kSections = {"variables", "installer", "files", "data-file",
                                            "chunk",     "copy",      "show"};

void ReadSection(ProjectReader& r, const std::string& line) {
  r.CloseChunk();
  if (line.back() != ']') {
    r.Error("a section header ends with ]");
    return;
  }
  r.section = Trim(line.substr(1, line.size() - 2));
  if (r.section != "chunk" && r.section != "copy" &&
      std::find(kSections.begin(), kSections.end(), r.section) != kSections.end()) {
    const auto [it, fresh] = r.sectionLines.emplace(r.section, r.lineNumber);
    if (!fresh)
      r.Warning("[" + r.section + "] again, at " + r.QuoteBoth(it->second) +
                "; its keys add to the first one's and a key given twice takes the last value");
  }
  if (r.section == "chunk" || r.section == "copy") {
    DataFileParts::Chunk chunk;
    chunk.copy = r.section == "copy";
    chunk.origin = r.Origin();
    r.project.data.chunks.push_back(chunk);
    r.project.data.any = true;
    r.chunkLine = r.lineNumber;
  } else if (std::find(kSections.begin(), kSections.end(), r.section) == kSections.end()) {
    r.Error("unknown section [" + r.section + "]" + Suggest(r.section, kSections));
  }
}

void ReadKey(ProjectReader& r, const std::string& key, const std::string& value) {
  if (r.section.empty())
    r.Error(key + " stands before any section");
  else if (r.section == "variables")
    r.variables[key] = value;
  else if (r.section == "installer")
    ReadInstallerKey(r, key, value);
  else if (r.section == "files")
    ReadFilesKey(r, key, value);
  else if (r.section == "data-file")
    ReadDataFileKey(r, key, value);
  else if (r.section == "chunk" || r.section == "copy")
    ReadChunkKey(r, key, value);
  else if (r.section == "show")
    ReadShowKey(r, key, value);
}

void ReadLines(ProjectReader& r, std::istream& in) {
  r.project.projectPath = r.projectPath;
  std::string line;
  while (std::getline(in, line)) {
    ++r.lineNumber;
    if (r.lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a UTF-8 BOM
    line = Trim(line);
    r.lines.push_back(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      ReadSection(r, line);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      r.Error("expected KEY = VALUE or [SECTION], not \"" + line + "\"");
      continue;
    }
    const std::string key = Trim(line.substr(0, eq));
    std::string value;
    if (r.Expand(Trim(line.substr(eq + 1)), value)) ReadKey(r, key, value);
  }
  r.CloseChunk();
}

}  // namespace

ProjectReader::ProjectReader(const std::string& file, const Defines& given, BuildProject& out,
                             std::vector<std::string>& problems)
    : projectPath(file), defines(given), project(out), errors(problems) {
  std::error_code ec;
  base = fs::absolute(FsPath(file), ec).parent_path();
}

void ProjectReader::Error(const std::string& text) {
  errors.push_back(projectPath + ":" + std::to_string(lineNumber) + ": " + text);
}

void ProjectReader::Listed(const std::string& path) {
  const auto [it, fresh] = fileLines.emplace(path, lineNumber);
  if (!fresh)
    Warning(path + " is listed twice, at " + QuoteBoth(it->second) + "; it goes in twice");
}

void ProjectReader::CloseChunk() {
  if (chunkLine == 0) return;
  const DataFileParts::Chunk& chunk = project.data.chunks.back();
  if (chunk.path.empty())
    errors.push_back(projectPath + ":" + std::to_string(chunkLine) + ": a [" +
                     (chunk.copy ? "copy] needs name =" : "chunk] needs file ="));
  chunkLine = 0;
}

bool ProjectReader::Expand(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, "${") != 0) {
      out += text[i++];
      continue;
    }
    const size_t close = text.find('}', i);
    if (close == std::string::npos) {
      Error("${ without a closing }");
      return false;
    }
    const std::string name = text.substr(i + 2, close - i - 2);
    const auto defined = defines.find(name);
    const auto variable = variables.find(name);
    if (defined != defines.end()) {
      out += defined->second;
    } else if (variable != variables.end()) {
      out += variable->second;
    } else {
      Error("${" + name + "} is not defined (define it in [variables] or with -D " + name +
            "=VALUE)");
      return false;
    }
    i = close + 1;
  }
  return true;
}

std::string ProjectReader::PathValue(std::string value) const {
  if (value.empty()) return value;
#ifndef _WIN32
  for (char& c : value)
    if (c == '\\') c = '/';
#endif
  const fs::path path = FsPath(value);
  return path.is_absolute() ? value : Utf8Path((base / path).lexically_normal());
}

bool ProjectReader::FileValue(const std::string& key, const std::string& value,
                              const std::string& example, std::string& out) {
  if (value.empty()) {
    Error(key + " = is empty: give a file, for example " + key + " = " + example);
    return false;
  }
  out = PathValue(value);
  return true;
}

bool ProjectReader::YesNo(const std::string& key, const std::string& value, bool& out) {
  if (value == "yes" || value == "true" || value == "1") {
    out = true;
  } else if (value == "no" || value == "false" || value == "0") {
    out = false;
  } else {
    Error(key + " = " + value + ": expected yes or no" + Close(value, {"yes", "no"}));
    return false;
  }
  return true;
}

bool ProjectReader::Compression(const std::string& key, const std::string& value,
                                CompressionChoice& out) {
  if (ParseCompressionChoice(value, out)) return true;
  Error(key + " = " + value + ": expected store, binary[:DICT] or ascii[:DICT]" +
        Close(value.substr(0, value.find(':')), {"store", "binary", "ascii"}));
  return false;
}

void LoadProjectFile(const std::string& path, const Defines& defines, BuildProject& project,
                     std::vector<std::string>& errors) {
  Bytes bytes;
  const Status read = ReadWholeFile(path, bytes);
  if (!read.ok()) {
    std::error_code ec;
    const std::string resolved = Utf8Path(fs::absolute(FsPath(path), ec));
    errors.push_back(read.text() + (resolved != path ? " (" + resolved + ")" : ""));
    return;
  }
  std::string text(bytes.begin(), bytes.end());
  // Not UTF-8: an older editor saved it in the ANSI code page.
  const size_t bad = FirstInvalidUtf8(text);
  if (bad != std::string::npos) {
    const auto line =
        1 + std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(bad), '\n');
    const unsigned ansi = SystemAnsiCodePage();
    std::string converted;
    if (!CodePage(ansi).ToUtf8(text, converted)) {
      errors.push_back(path + ":" + std::to_string(line) +
                       ": neither UTF-8 nor text in code page " + std::to_string(ansi) +
                       "; save it as UTF-8");
      return;
    }
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X",
                  static_cast<unsigned>(static_cast<uint8_t>(text[bad])));
    project.repeated.push_back(path + ":" + std::to_string(line) + ": the byte " + byte +
                               " is not UTF-8, so the file is read in code page " +
                               std::to_string(ansi) + "; save it as UTF-8 to be sure");
    text = std::move(converted);
  }
  ParseProjectText(text, path, defines, project, errors);
}

void ParseProjectText(const std::string& text, const std::string& path, const Defines& defines,
                      BuildProject& project, std::vector<std::string>& errors) {
  std::istringstream in(text);
  ProjectReader reader(path, defines, project, errors);
  ReadLines(reader, in);
}

}  // namespace ssbuild
