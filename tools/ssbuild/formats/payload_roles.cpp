#include "payload_roles.h"

#include "byte_file.h"
#include "path_rules.h"
#include "payload_format.h"

namespace ssbuild {
namespace {

constexpr const char* kRoleNames[] = {"stub",  "library", "flash", "preview",  "licence", "readme",
                                      "saver", "further", "data",  "support1", "support2"};
constexpr int kRoleCount = static_cast<int>(sizeof kRoleNames / sizeof kRoleNames[0]);

}  // namespace

const char* RoleName(int index) {
  return index >= 0 && index < kRoleCount ? kRoleNames[index] : "";
}

int RoleIndex(const std::string& text) {
  for (int i = 0; i < kRoleCount; ++i)
    if (text == kRoleNames[i] || text == std::to_string(i)) return i;
  if (text == "license") return ssi::entry::kLicence;
  return -1;
}

int32_t RoleKind(int index) {
  switch (index) {
    case ssi::entry::kStub:
      return 6;
    case ssi::entry::kCompressionLibrary:
    case ssi::entry::kFlashInstaller:
      return 3;
    case ssi::entry::kSaverProgram:
      return 2;
    case ssi::entry::kDataFile:
      return 4;
    default:
      return 5;
  }
}

std::string DefaultEntryName(int index, const std::string& saverName,
                             const std::string& sourcePath) {
  switch (index) {
    case ssi::entry::kStub:
      return "install.exe";
    case ssi::entry::kCompressionLibrary:
      return "impborl.dat";
    case ssi::entry::kFlashInstaller:
      return "flashax.exe";
    case ssi::entry::kSaverProgram:
      return saverName + ".scr";
    case ssi::entry::kDataFile:
      return sourcePath.empty() ? saverName + ".ssd" : BaseName(sourcePath);
    default:
      return sourcePath.empty() ? std::string() : BaseName(sourcePath);
  }
}

std::string CheckRoleName(int index, const std::string& name, const std::string& saverName) {
  if (name.size() > ssi::kEntryNameMax)
    return "is " + std::to_string(name.size()) + " bytes long; at most 255 fit";
  if (!ssi::IsPlainFileName(name)) return "is not a plain file name";
  switch (index) {
    case ssi::entry::kCompressionLibrary:
      if (ssi::AsciiLower(ssi::ReplaceExtension(name, ".dll")) != "impborl.dll")
        return "would land as " + ssi::ReplaceExtension(name, ".dll") +
               ", but the stub loads impborl.dll";
      return {};
    case ssi::entry::kFlashInstaller:
      if (name != "flashax.exe") return "must be exactly flashax.exe, where the stub runs it";
      return {};
    case ssi::entry::kSaverProgram:
      if (ssi::AsciiLower(name) != ssi::AsciiLower(saverName + ".scr"))
        return "must be " + saverName + ".scr, the name the stub activates and uninstalls";
      return {};
    default:
      return {};
  }
}

}  // namespace ssbuild
