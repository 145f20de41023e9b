#include "project_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli_args.h"
#include "cli_show.h"
#include "code_page.h"
#include "installer_text.h"
#include "native_file.h"
#include "payload_roles.h"
#include "picture_files.h"
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
const std::vector<std::string> kInstallerKeys = {"output",
                                                 "name",
                                                 "display",
                                                 "accept-licence",
                                                 "open-readme",
                                                 "open-display-properties",
                                                 "codepage",
                                                 "compression",
                                                 "level",
                                                 "stub",
                                                 "allow-incomplete",
                                                 "sign",
                                                 "jobs",
                                                 "icon",
                                                 "product",
                                                 "publisher",
                                                 "version",
                                                 "copyright",
                                                 "description",
                                                 "preview-background"};
std::vector<std::string> RoleWords() {
  std::vector<std::string> words;
  for (int role = kFirstRole; role <= kLastRole; ++role) words.push_back(RoleWord(role));
  return words;
}
const std::vector<std::string> kShowKeys = {"picture",       "movie", "seconds",   "transition",
                                            "transition-ms", "order", "publisher", "version"};

std::string RoleExample(int role);

class ProjectReader {
 public:
  ProjectReader(const std::string& path, const Defines& defines, BuildProject& project,
                std::vector<std::string>& errors)
      : path_(path), defines_(defines), p_(project), errors_(errors) {
    std::error_code ec;
    base_ = fs::absolute(FsPath(path), ec).parent_path();
  }

  void Read(std::istream& in) {
    p_.projectPath = path_;
    std::string line;
    while (std::getline(in, line)) {
      ++line_;
      if (line_ == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a UTF-8 BOM
      line = Trim(line);
      lines_.push_back(line);
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      if (line[0] == '[') {
        Section(line);
        continue;
      }
      const size_t eq = line.find('=');
      if (eq == std::string::npos) {
        Error("expected KEY = VALUE or [SECTION], not \"" + line + "\"");
        continue;
      }
      const std::string key = Trim(line.substr(0, eq));
      std::string value;
      if (Expand(Trim(line.substr(eq + 1)), value)) Key(key, value);
    }
    CloseChunk();
  }

 private:
  void Error(const std::string& text) {
    errors_.push_back(path_ + ":" + std::to_string(line_) + ": " + text);
  }
  std::string Origin() const { return path_ + ":" + std::to_string(line_); }
  void Warning(const std::string& text) { p_.repeated.push_back(Origin() + ": " + text); }
  // "line 7 (file = a.bmp)": a line quoted for a warning about two of them.
  std::string Quote(int line) const {
    return "line " + std::to_string(line) + " (" + lines_[static_cast<size_t>(line - 1)] + ")";
  }
  std::string QuoteBoth(int first) const { return Quote(first) + " and " + Quote(line_); }

  // The same file listed twice would be packed twice.
  void Listed(const std::string& path) {
    const auto [it, fresh] = files_.emplace(path, line_);
    if (!fresh)
      Warning(path + " is listed twice, at " + QuoteBoth(it->second) + "; it goes in twice");
  }

  // A [chunk] needs its file and a [copy] its name; said at the section's line.
  void CloseChunk() {
    if (chunkLine_ == 0) return;
    const DataFileParts::Chunk& chunk = p_.data.chunks.back();
    if (chunk.path.empty())
      errors_.push_back(path_ + ":" + std::to_string(chunkLine_) + ": a [" +
                        (chunk.copy ? "copy] needs name =" : "chunk] needs file ="));
    chunkLine_ = 0;
  }

  void Section(const std::string& line) {
    CloseChunk();
    if (line.back() != ']') {
      Error("a section header ends with ]");
      return;
    }
    section_ = Trim(line.substr(1, line.size() - 2));
    if (section_ != "chunk" && section_ != "copy" &&
        std::find(kSections.begin(), kSections.end(), section_) != kSections.end()) {
      const auto [it, fresh] = sections_.emplace(section_, line_);
      if (!fresh)
        Warning("[" + section_ + "] again, at " + QuoteBoth(it->second) +
                "; its keys add to the first one's and a key given twice takes the last value");
    }
    if (section_ == "chunk" || section_ == "copy") {
      DataFileParts::Chunk chunk;
      chunk.copy = section_ == "copy";
      chunk.origin = Origin();
      p_.data.chunks.push_back(chunk);
      p_.data.any = true;
      chunkLine_ = line_;
    } else if (std::find(kSections.begin(), kSections.end(), section_) == kSections.end()) {
      Error("unknown section [" + section_ + "]" + Suggest(section_, kSections));
    }
  }

  // Replaces every ${NAME}; false (with the error given) for an unknown name.
  bool Expand(const std::string& text, std::string& out) {
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
      const auto defined = defines_.find(name);
      const auto variable = variables_.find(name);
      if (defined != defines_.end()) {
        out += defined->second;
      } else if (variable != variables_.end()) {
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

  // Either separator works on every system, so a project file written on
  // Windows builds elsewhere too.
  std::string PathValue(std::string value) const {
    if (value.empty()) return value;
#ifndef _WIN32
    for (char& c : value)
      if (c == '\\') c = '/';
#endif
    const fs::path path = FsPath(value);
    return path.is_absolute() ? value : Utf8Path((base_ / path).lexically_normal());
  }

  // A file of the project, made absolute; an empty value is an error that
  // says what to write.
  bool FileValue(const std::string& key, const std::string& value, const std::string& example,
                 std::string& out) {
    if (value.empty()) {
      Error(key + " = is empty: give a file, for example " + key + " = " + example);
      return false;
    }
    out = PathValue(value);
    return true;
  }

  bool YesNo(const std::string& key, const std::string& value, bool& out) {
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

  // " (did you mean X?)" for a value near one of `known`, else nothing: the
  // message lists the values already.
  static std::string Close(const std::string& value, const std::vector<std::string>& known) {
    const std::string hint = Suggest(value, known);
    return hint.rfind("; did", 0) == 0 ? " (" + hint.substr(2) + ")" : "";
  }

  bool Compression(const std::string& key, const std::string& value, CompressionChoice& out) {
    if (ParseCompressionChoice(value, out)) return true;
    Error(key + " = " + value + ": expected store, binary[:DICT] or ascii[:DICT]" +
          Close(value.substr(0, value.find(':')), {"store", "binary", "ascii"}));
    return false;
  }

  void Key(const std::string& key, const std::string& value) {
    if (section_.empty())
      Error(key + " stands before any section");
    else if (section_ == "variables")
      variables_[key] = value;
    else if (section_ == "installer")
      Installer(key, value);
    else if (section_ == "files")
      File(key, value);
    else if (section_ == "data-file")
      DataFile(key, value);
    else if (section_ == "chunk" || section_ == "copy")
      Chunk(key, value);
    else if (section_ == "show")
      Show(key, value);
  }

  void Installer(const std::string& key, const std::string& value) {
    bool flag = false;
    int mode = 0;
    CompressionChoice choice;
    if (key == "output") {
      if (FileValue(key, value, "setup.exe", p_.output)) p_.origins["output"] = Origin();
    } else if (key == "name") {
      p_.saverName = value;
      p_.origins["name"] = Origin();
    } else if (key == "display") {
      if (ParseDisplayMode(value, mode))
        p_.displayMode = mode;
      else
        Error("display = " + value + ": expected none, picture, movie, silent or 0..255" +
              Close(value, {"none", "picture", "movie", "silent"}));
    } else if (key == "accept-licence" || key == "accept-license") {
      if (YesNo(key, value, flag)) p_.licenceFlag = flag;
    } else if (key == "open-readme") {
      if (YesNo(key, value, flag)) p_.readMeFlag = flag;
    } else if (key == "open-display-properties") {
      if (YesNo(key, value, flag)) p_.displayPropertiesFlag = flag;
    } else if (key == "allow-incomplete") {
      if (YesNo(key, value, flag)) p_.allowIncomplete = flag;
    } else if (key == "compression") {
      if (Compression(key, value, choice)) p_.defaultCompression = choice;
    } else if (key == "codepage") {
      int64_t number = 0;
      if (ParseInteger(value, 1, 65535, number))
        p_.codePage = static_cast<unsigned>(number);
      else
        Error("codepage = " + value + ": expected a code page number such as 1252");
    } else if (key == "stub") {
      if (FileValue(key, value, "install.exe", p_.stubPath)) p_.origins["stub"] = Origin();
    } else if (key == "sign") {
      p_.signCommand = value;
      p_.signOrigin = Origin();
    } else if (key == "level") {
      if (!ParseImplodeLevel(value, p_.level))
        Error("level = " + value + ": expected fast, default or best" +
              Close(value, {"fast", "default", "best"}));
    } else if (key == "jobs") {
      int64_t number = 0;
      if (ParseInteger(value, 1, 256, number))
        p_.packThreads = static_cast<unsigned>(number);
      else
        Error("jobs = " + value + ": expected a number from 1 to 256");
    } else if (key == "icon") {
      p_.iconPath = PathValue(value);
      p_.iconOrigin = Origin();
    } else if (key == "preview-background") {
      if (!ParseColour(value, p_.previewBackground))
        Error("preview-background = " + value + ": expected a colour as #RRGGBB, white or black");
    } else if (SetVersionText(key, value, p_.installerVersion)) {
      uint16_t numbers[4];
      if (key == "version" && !ParseVersionNumbers(value, numbers))
        Error("version = " + value + ": expected up to four numbers 0..65535 such as 1.2.0.5");
    } else {
      Error("unknown key " + key + " in [installer]" + Suggest(key, kInstallerKeys));
    }
  }

  void File(const std::string& key, const std::string& value) {
    const size_t dot = key.find('.');
    const std::string roleText = key.substr(0, dot);
    const int role = RoleFromWord(roleText);
    if (role < kFirstRole) {
      Error("unknown role " + roleText + Suggest(roleText, RoleWords()));
      return;
    }
    RoleRequest& request = p_.roles[static_cast<size_t>(role)];
    const std::string attribute = dot == std::string::npos ? "" : key.substr(dot + 1);
    CompressionChoice choice;
    std::string path;
    if (attribute.empty()) {
      if (!FileValue(key, value, RoleExample(role), path)) return;
      Listed(path);
      RequestRole(p_, role, path, Origin());
    } else if (attribute == "name") {
      request.entryName = value;
      p_.origins[std::string(RoleWord(role)) + ".name"] = Origin();
    } else if (attribute == "compression") {
      if (role == ssi::entry::kCompressionLibrary)
        Error("the compression library is always stored");
      else if (Compression(key, value, choice))
        request.compression = choice;
    } else {
      Error("unknown attribute ." + attribute + Suggest(attribute, {"name", "compression"}));
    }
  }

  void DataFile(const std::string& key, const std::string& value) {
    int64_t number = 0;
    if (key == "settings") {
      if (!FileValue(key, value, "settings.bin", p_.data.settingsPath)) return;
      p_.origins["settings"] = Origin();
    } else if (key == "first-chunk-kind") {
      if (ParseInteger(value, INT32_MIN, INT32_MAX, number))
        p_.data.firstChunkKind = static_cast<int32_t>(number);
      else
        Error("first-chunk-kind = " + value + ": expected a number");
    } else {
      Error("unknown key " + key + " in [data-file]" +
            Suggest(key, {"settings", "first-chunk-kind"}));
      return;
    }
    p_.data.any = true;
  }

  void Chunk(const std::string& key, const std::string& value) {
    DataFileParts::Chunk& chunk = p_.data.chunks.back();
    int64_t number = 0;
    CompressionChoice choice;
    if (key == "name") {
      if (chunk.copy)
        chunk.path = value;
      else
        chunk.name = value;
      if (chunk.copy || chunk.origin.empty()) chunk.origin = Origin();
    } else if (!chunk.copy && key == "file") {
      if (!FileValue(key, value, "pictures/sky.bmp", chunk.path)) return;
      Listed(chunk.path);
      chunk.origin = Origin();
    } else if (!chunk.copy && key == "kind") {
      if (ParseInteger(value, 0, 255, number))
        chunk.kind = static_cast<uint8_t>(number);
      else
        Error("kind = " + value + ": expected a number from 0 to 255");
    } else if (!chunk.copy && key == "compression") {
      if (Compression(key, value, choice)) chunk.compression = choice;
    } else {
      Error("unknown key " + key + " in [" + section_ + "]" +
            (chunk.copy ? Suggest(key, {"name"})
                        : Suggest(key, {"file", "name", "kind", "compression"})));
    }
  }

  void Show(const std::string& key, const std::string& value) {
    if (key == "picture" && IsPictureFileValue(value)) {
      const std::string problem = AddPictureFiles(value, base_, Origin(), p_);
      if (!problem.empty()) Error("picture = " + value + ": " + problem);
      return;
    }
    bool known = false;
    const size_t pictures = p_.show.layout.pictures.size();
    std::string problem = SetShowValue(key, value, p_.show, known);
    if (!known) {
      Error("unknown key " + key + " in [show]" + Suggest(key, kShowKeys));
      return;
    }
    if (!problem.empty()) {
      if (key == "transition") problem += Close(value, {"cut", "fade", "wipe"});
      if (key == "order") problem += Close(value, {"listed", "shuffled"});
      Error(key + " = " + value + ": " + problem);
      return;
    }
    if (p_.show.layout.pictures.size() > pictures)
      p_.origins[PictureKey(pictures)] = Origin();
    else if (key == "publisher" || key == "version" || key == "movie")
      p_.origins[key] = Origin();
  }

  const std::string path_;
  const Defines& defines_;
  BuildProject& p_;
  std::vector<std::string>& errors_;
  fs::path base_;
  Defines variables_;
  std::string section_;
  int line_ = 0;
  int chunkLine_ = 0;
  std::vector<std::string> lines_;       // every line read, trimmed, to be quoted
  std::map<std::string, int> sections_;  // the first line of each section
  std::map<std::string, int> files_;     // the first line of each file listed
};

// What an empty file value could have said.
std::string RoleExample(int role) {
  switch (role) {
    case ssi::entry::kPreview:
      return "preview.bmp";
    case ssi::entry::kLicence:
      return "licence.txt";
    case ssi::entry::kReadMe:
      return "readme.txt";
    case ssi::entry::kSaverProgram:
      return "sample.scr";
    case ssi::entry::kCompressionLibrary:
      return "impborl.dll";
    case ssi::entry::kFlashInstaller:
      return "flashax.exe";
    default:
      return "saver.dat";
  }
}

}  // namespace

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
  ProjectReader(path, defines, project, errors).Read(in);
}

}  // namespace ssbuild
