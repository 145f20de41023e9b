#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cli_args.h"
#include "cli_show.h"
#include "installer_text.h"
#include "payload_roles.h"
#include "picture_files.h"
#include "project_reader.h"
#include "suggestions.h"

namespace ssbuild {
namespace {

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

bool ReadHowToBuildKey(ProjectReader& r, const std::string& key, const std::string& value);
void ReadBrandingKey(ProjectReader& r, const std::string& key, const std::string& value);

}  // namespace

std::string Close(const std::string& value, const std::vector<std::string>& known) {
  const std::string hint = Suggest(value, known);
  return hint.rfind("; did", 0) == 0 ? " (" + hint.substr(2) + ")" : "";
}

void ReadInstallerKey(ProjectReader& r, const std::string& key, const std::string& value) {
  bool flag = false;
  int mode = 0;
  if (key == "output") {
    if (r.FileValue(key, value, "setup.exe", r.project.output))
      r.project.origins["output"] = r.Origin();
  } else if (key == "name") {
    r.project.saverName = value;
    r.project.origins["name"] = r.Origin();
  } else if (key == "display") {
    if (ParseDisplayMode(value, mode))
      r.project.displayMode = mode;
    else
      r.Error("display = " + value + ": expected none, picture, movie, silent or 0..255" +
              Close(value, {"none", "picture", "movie", "silent"}));
  } else if (key == "accept-licence" || key == "accept-license") {
    if (r.YesNo(key, value, flag)) r.project.licenceFlag = flag;
  } else if (key == "open-readme") {
    if (r.YesNo(key, value, flag)) r.project.readMeFlag = flag;
  } else if (key == "open-display-properties") {
    if (r.YesNo(key, value, flag)) r.project.displayPropertiesFlag = flag;
  } else if (key == "allow-incomplete") {
    if (r.YesNo(key, value, flag)) r.project.allowIncomplete = flag;
  } else if (!ReadHowToBuildKey(r, key, value)) {
    ReadBrandingKey(r, key, value);
  }
}

namespace {

// The keys of [installer] that say how the installer is built; false for
// any other.
bool ReadHowToBuildKey(ProjectReader& r, const std::string& key, const std::string& value) {
  CompressionChoice choice;
  if (key == "compression") {
    if (r.Compression(key, value, choice)) r.project.defaultCompression = choice;
  } else if (key == "codepage") {
    int64_t number = 0;
    if (ParseInteger(value, 1, 65535, number))
      r.project.codePage = static_cast<unsigned>(number);
    else
      r.Error("codepage = " + value + ": expected a code page number such as 1252");
  } else if (key == "stub") {
    if (r.FileValue(key, value, "install.exe", r.project.stubPath))
      r.project.origins["stub"] = r.Origin();
  } else if (key == "sign") {
    r.project.signCommand = value;
    r.project.signOrigin = r.Origin();
  } else if (key == "level") {
    if (!ParseImplodeLevel(value, r.project.level))
      r.Error("level = " + value + ": expected fast, default or best" +
              Close(value, {"fast", "default", "best"}));
  } else if (key == "jobs") {
    int64_t number = 0;
    if (ParseInteger(value, 1, 256, number))
      r.project.packThreads = static_cast<unsigned>(number);
    else
      r.Error("jobs = " + value + ": expected a number from 1 to 256");
  } else {
    return false;
  }
  return true;
}

// The keys of [installer] for the stub's icon and version record and the
// preview's background; any other key is unknown.
void ReadBrandingKey(ProjectReader& r, const std::string& key, const std::string& value) {
  if (key == "icon") {
    r.project.iconPath = r.PathValue(value);
    r.project.iconOrigin = r.Origin();
  } else if (key == "preview-background") {
    if (!ParseColour(value, r.project.previewBackground))
      r.Error("preview-background = " + value + ": expected a colour as #RRGGBB, white or black");
  } else if (SetVersionText(key, value, r.project.installerVersion)) {
    uint16_t numbers[4];
    if (key == "version" && !ParseVersionNumbers(value, numbers))
      r.Error("version = " + value + ": expected up to four numbers 0..65535 such as 1.2.0.5");
  } else {
    r.Error("unknown key " + key + " in [installer]" + Suggest(key, kInstallerKeys));
  }
}

}  // namespace

void ReadFilesKey(ProjectReader& r, const std::string& key, const std::string& value) {
  const size_t dot = key.find('.');
  const std::string roleText = key.substr(0, dot);
  const int role = RoleFromWord(roleText);
  if (role < kFirstRole) {
    r.Error("unknown role " + roleText + Suggest(roleText, RoleWords()));
    return;
  }
  RoleRequest& request = r.project.roles[static_cast<size_t>(role)];
  const std::string attribute = dot == std::string::npos ? "" : key.substr(dot + 1);
  CompressionChoice choice;
  std::string path;
  if (attribute.empty()) {
    if (!r.FileValue(key, value, RoleExample(role), path)) return;
    r.Listed(path);
    RequestRole(r.project, role, path, r.Origin());
  } else if (attribute == "name") {
    request.entryName = value;
    r.project.origins[std::string(RoleWord(role)) + ".name"] = r.Origin();
  } else if (attribute == "compression") {
    if (role == ssi::entry::kCompressionLibrary)
      r.Error("the compression library is always stored");
    else if (r.Compression(key, value, choice))
      request.compression = choice;
  } else {
    r.Error("unknown attribute ." + attribute + Suggest(attribute, {"name", "compression"}));
  }
}

void ReadDataFileKey(ProjectReader& r, const std::string& key, const std::string& value) {
  int64_t number = 0;
  if (key == "settings") {
    if (!r.FileValue(key, value, "settings.bin", r.project.data.settingsPath)) return;
    r.project.origins["settings"] = r.Origin();
  } else if (key == "first-chunk-kind") {
    if (ParseInteger(value, INT32_MIN, INT32_MAX, number))
      r.project.data.firstChunkKind = static_cast<int32_t>(number);
    else
      r.Error("first-chunk-kind = " + value + ": expected a number");
  } else {
    r.Error("unknown key " + key + " in [data-file]" +
            Suggest(key, {"settings", "first-chunk-kind"}));
    return;
  }
  r.project.data.any = true;
}

void ReadChunkKey(ProjectReader& r, const std::string& key, const std::string& value) {
  DataFileParts::Chunk& chunk = r.project.data.chunks.back();
  int64_t number = 0;
  CompressionChoice choice;
  if (key == "name") {
    if (chunk.copy)
      chunk.path = value;
    else
      chunk.name = value;
    if (chunk.copy || chunk.origin.empty()) chunk.origin = r.Origin();
  } else if (!chunk.copy && key == "file") {
    if (!r.FileValue(key, value, "pictures/sky.bmp", chunk.path)) return;
    r.Listed(chunk.path);
    chunk.origin = r.Origin();
  } else if (!chunk.copy && key == "kind") {
    if (ParseInteger(value, 0, 255, number))
      chunk.kind = static_cast<uint8_t>(number);
    else
      r.Error("kind = " + value + ": expected a number from 0 to 255");
  } else if (!chunk.copy && key == "compression") {
    if (r.Compression(key, value, choice)) chunk.compression = choice;
  } else {
    r.Error("unknown key " + key + " in [" + r.section + "]" +
            (chunk.copy ? Suggest(key, {"name"})
                        : Suggest(key, {"file", "name", "kind", "compression"})));
  }
}

void ReadShowKey(ProjectReader& r, const std::string& key, const std::string& value) {
  if (key == "picture" && IsPictureFileValue(value)) {
    const std::string problem = AddPictureFiles(value, r.base, r.Origin(), r.project);
    if (!problem.empty()) r.Error("picture = " + value + ": " + problem);
    return;
  }
  bool known = false;
  const size_t pictures = r.project.show.layout.pictures.size();
  std::string problem = SetShowValue(key, value, r.project.show, known);
  if (!known) {
    r.Error("unknown key " + key + " in [show]" + Suggest(key, kShowKeys));
    return;
  }
  if (!problem.empty()) {
    if (key == "transition") problem += Close(value, {"cut", "fade", "wipe"});
    if (key == "order") problem += Close(value, {"listed", "shuffled"});
    r.Error(key + " = " + value + ": " + problem);
    return;
  }
  if (r.project.show.layout.pictures.size() > pictures)
    r.project.origins[PictureKey(pictures)] = r.Origin();
  else if (key == "publisher" || key == "version" || key == "movie")
    r.project.origins[key] = r.Origin();
}

}  // namespace ssbuild
