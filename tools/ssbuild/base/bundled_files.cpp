#include "bundled_files.h"

#include "native_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "embedded_files.h"

namespace ssbuild {
namespace {

std::string& ProgramPath() {
  static std::string path;
  return path;
}

const EmbeddedFile* FindEmbedded(const std::string& name) {
  for (const EmbeddedFile* f = EmbeddedFiles(); f->name != nullptr; ++f)
    if (name == f->name) return f;
  return nullptr;
}

// The folder of the running program: argv[0] may be a bare name found on
// PATH, so Linux's own record of it is preferred.
std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
  if (ProgramPath().empty()) return {};
  return std::filesystem::absolute(FsPath(ProgramPath()), ec).parent_path();
}

}  // namespace

void SetProgramPath(const std::string& path) { ProgramPath() = path; }

bool CarriesFile(const std::string& name) { return FindEmbedded(name) != nullptr; }

Status FindBundledFile(const std::string& name, BundledFile& out) {
  out = BundledFile{};
  if (const EmbeddedFile* f = FindEmbedded(name)) {
    out.bytes.assign(f->data, f->data + f->size);
    out.label = name + " (carried by ssbuild)";
    return {};
  }
  const std::filesystem::path folder = ProgramFolder();
  if (folder.empty())
    return Status::Fail(name + ": this ssbuild carries none and cannot tell where it is");
  std::string looked;
  for (const std::filesystem::path& candidate :
       {folder / name, folder / ".." / "share" / "ssbuild" / name}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) {
      out.path = Utf8Path(candidate.lexically_normal());
      out.label = out.path;
      return {};
    }
    looked += (looked.empty() ? "" : ", ") + Utf8Path(candidate.lexically_normal());
  }
  return Status::Fail(name + ": this ssbuild carries none, and there is none at " + looked);
}

}  // namespace ssbuild
