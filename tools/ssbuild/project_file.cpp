#include "project_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_args.h"
#include "cli_show.h"
#include "payload_roles.h"
#include "picture_files.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

class ProjectReader {
 public:
  ProjectReader(const std::string& path, const Defines& defines, BuildProject& project,
                std::vector<std::string>& errors)
      : path_(path), defines_(defines), p_(project), errors_(errors) {
    std::error_code ec;
    base_ = fs::absolute(fs::path(path), ec).parent_path();
  }

  void Read(std::istream& in) {
    p_.projectPath = path_;
    std::string line;
    while (std::getline(in, line)) {
      ++line_;
      if (line_ == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a UTF-8 BOM
      line = Trim(line);
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
    if (section_ == "chunk" || section_ == "copy") {
      DataFileParts::Chunk chunk;
      chunk.copy = section_ == "copy";
      chunk.origin = Origin();
      p_.data.chunks.push_back(chunk);
      p_.data.any = true;
      chunkLine_ = line_;
    } else if (section_ != "variables" && section_ != "installer" && section_ != "files" &&
               section_ != "data-file" && section_ != "show") {
      Error("unknown section [" + section_ +
            "]; known: variables, installer, files, data-file, chunk, copy, show");
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

  std::string PathValue(const std::string& value) const {
    if (value.empty()) return value;
    const fs::path path(value);
    return path.is_absolute() ? value : (base_ / path).lexically_normal().string();
  }

  bool YesNo(const std::string& key, const std::string& value, bool& out) {
    if (value == "yes" || value == "true" || value == "1") {
      out = true;
    } else if (value == "no" || value == "false" || value == "0") {
      out = false;
    } else {
      Error(key + " = " + value + ": expected yes or no");
      return false;
    }
    return true;
  }

  bool Compression(const std::string& key, const std::string& value, CompressionChoice& out) {
    if (ParseCompressionChoice(value, out)) return true;
    Error(key + " = " + value + ": expected store, binary[:DICT] or ascii[:DICT]");
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
      p_.output = PathValue(value);
    } else if (key == "name") {
      p_.saverName = value;
    } else if (key == "display") {
      if (ParseDisplayMode(value, mode))
        p_.displayMode = mode;
      else
        Error("display = " + value + ": expected none, picture, movie, silent or 0..255");
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
      p_.stubPath = PathValue(value);
    } else if (key == "sign") {
      p_.signCommand = value;
    } else if (key == "level") {
      if (!ParseImplodeLevel(value, p_.level))
        Error("level = " + value + ": expected fast, default or best");
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
      Error("unknown key " + key +
            " in [installer]; known: output, name, display, accept-licence, open-readme, "
            "open-display-properties, codepage, compression, level, stub, allow-incomplete, sign, "
            "jobs, icon, product, publisher, version, copyright, description, "
            "preview-background");
    }
  }

  void File(const std::string& key, const std::string& value) {
    const size_t dot = key.find('.');
    const std::string roleText = key.substr(0, dot);
    const int role = RoleFromWord(roleText);
    if (role < kFirstRole) {
      Error("unknown role " + roleText +
            "; known: compression-library, flash-installer, preview, licence, readme, "
            "screen-saver, further-file, data-file, support-library-1, support-library-2");
      return;
    }
    RoleRequest& request = p_.roles[static_cast<size_t>(role)];
    const std::string attribute = dot == std::string::npos ? "" : key.substr(dot + 1);
    CompressionChoice choice;
    if (attribute.empty()) {
      RequestRole(p_, role, PathValue(value), Origin());
    } else if (attribute == "name") {
      request.entryName = value;
    } else if (attribute == "compression") {
      if (role == ssi::entry::kCompressionLibrary)
        Error("the compression library is always stored");
      else if (Compression(key, value, choice))
        request.compression = choice;
    } else {
      Error("unknown attribute ." + attribute + "; known: .name, .compression");
    }
  }

  void DataFile(const std::string& key, const std::string& value) {
    int64_t number = 0;
    if (key == "settings") {
      p_.data.settingsPath = PathValue(value);
    } else if (key == "first-chunk-kind") {
      if (ParseInteger(value, INT32_MIN, INT32_MAX, number))
        p_.data.firstChunkKind = static_cast<int32_t>(number);
      else
        Error("first-chunk-kind = " + value + ": expected a number");
    } else {
      Error("unknown key " + key + " in [data-file]; known: settings, first-chunk-kind");
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
    } else if (!chunk.copy && key == "file") {
      chunk.path = PathValue(value);
    } else if (!chunk.copy && key == "kind") {
      if (ParseInteger(value, 0, 255, number))
        chunk.kind = static_cast<uint8_t>(number);
      else
        Error("kind = " + value + ": expected a number from 0 to 255");
    } else if (!chunk.copy && key == "compression") {
      if (Compression(key, value, choice)) chunk.compression = choice;
    } else {
      Error("unknown key " + key + " in [" + section_ +
            "]; known: " + (chunk.copy ? "name" : "file, name, kind, compression"));
    }
  }

  void Show(const std::string& key, const std::string& value) {
    if (key == "picture" && IsPictureFileValue(value)) {
      const std::string problem = AddPictureFiles(value, base_, Origin(), p_);
      if (!problem.empty()) Error("picture = " + value + ": " + problem);
      return;
    }
    bool known = false;
    const std::string problem = SetShowValue(key, value, p_.show, known);
    if (!known)
      Error("unknown key " + key +
            " in [show]; known: picture, movie, seconds, transition, transition-ms, order, "
            "publisher, version");
    else if (!problem.empty())
      Error(key + " = " + value + ": " + problem);
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
};

}  // namespace

void LoadProjectFile(const std::string& path, const Defines& defines, BuildProject& project,
                     std::vector<std::string>& errors) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    errors.push_back(path + ": cannot open");
    return;
  }
  ProjectReader(path, defines, project, errors).Read(in);
}

void ParseProjectText(const std::string& text, const std::string& path, const Defines& defines,
                      BuildProject& project, std::vector<std::string>& errors) {
  std::istringstream in(text);
  ProjectReader(path, defines, project, errors).Read(in);
}

}  // namespace ssbuild
