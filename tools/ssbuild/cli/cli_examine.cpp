// ssbuild list / verify / extract: reading installers and data files back.
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <system_error>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "code_page.h"
#include "console_text.h"
#include "data_file_examiner.h"
#include "installer_examiner.h"
#include "listing.h"
#include "native_file.h"
#include "path_rules.h"
#include "signing.h"

namespace ssbuild {
namespace {

enum class FileType { kAuto, kInstaller, kData };

struct InspectOptions {
  std::string file;
  FileType type = FileType::kAuto;
  std::optional<uint32_t> payloadOffset;
  bool json = false;
  bool allowIncomplete = false;
  std::string directory;
};

// `extras` names the options that the command accepts besides the common ones.
void ParseInspectOptions(ArgList& args, const std::string& command,
                         const std::set<std::string>& extras, InspectOptions& o) {
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    int64_t number = 0;
    if (option == "--installer") {
      o.type = FileType::kInstaller;
    } else if (option == "--data") {
      o.type = FileType::kData;
    } else if (option == "--payload-offset") {
      if (args.TakeInt(option, 0, 0x7FFFFFFF, number)) {
        o.payloadOffset = static_cast<uint32_t>(number);
        o.type = FileType::kInstaller;
      }
    } else if (extras.count(option) == 0 && option.size() > 1 && option[0] == '-') {
      args.Fail(command + ": unknown option \"" + option + "\"");
    } else if (option == "--json") {
      o.json = true;
    } else if (option == "--allow-incomplete") {
      o.allowIncomplete = true;
    } else if (option == "-C") {
      args.TakeValue(option, o.directory);
    } else if (o.file.empty()) {
      o.file = option;
    } else {
      args.Fail(command + ": more than one file given");
    }
  }
  if (!args.Failed() && o.file.empty()) args.Fail(command + " needs a FILE");
}

// Reads the file and decides what it is; prints the failure itself. An
// Authenticode signature behind the payload is cut off first.
bool Load(const InspectOptions& o, Bytes& image, FileType& type, std::ostream& err,
          AppendedSignature* signature = nullptr) {
  const Status status = ReadWholeFile(o.file, image);
  if (!status.ok()) {
    err << "ssbuild: " << status.text() << "\n";
    return false;
  }
  const AppendedSignature found = StripAppendedSignature(image);
  if (signature != nullptr) *signature = found;
  type = o.type;
  if (type == FileType::kAuto) {
    if (LooksLikeInstaller(image))
      type = FileType::kInstaller;
    else if (LooksLikeDataFile(image))
      type = FileType::kData;
  }
  if (type == FileType::kAuto) {
    err << "ssbuild: " << Printable(o.file)
        << ": neither an installer (no usable payload offset field) nor a data file\n";
    return false;
  }
  return true;
}

int Failure(std::ostream& err, const std::string& file, const Status& status) {
  err << "ssbuild: " << Printable(file) << ": " << Printable(status.text()) << "\n";
  return kExitFailed;
}

// The name a file of the installer gets here: on Windows the installer's
// ANSI bytes mean what the ANSI calls would make of them; elsewhere the
// bytes are the name.
std::string LocalName(const std::string& name) {
#ifdef _WIN32
  std::string utf8;
  if (CodePage(SystemAnsiCodePage()).ToUtf8(name, utf8)) return utf8;
#endif
  return name;
}

// Each file is created new: a file or link already in the folder (a link
// planted there would send the bytes elsewhere) is refused, not followed.
// Entries of the same name (the stand-ins) replace each other, as in the
// install: only a file this run wrote itself is removed for that.
Status WriteInto(const std::string& directory, const std::string& name, const Bytes& bytes,
                 std::set<std::string>& written) {
  const std::string path = directory + "/" + LocalName(name);
  if (!written.insert(ssi::AsciiLower(name)).second) RemoveFile(path);
  return WriteNewFile(path, bytes);
}

int ExtractInstaller(const InspectOptions& o, const Bytes& image, std::ostream& out,
                     std::ostream& err) {
  InstallerView view;
  const Status status = ReadInstaller(image, o.payloadOffset, view);
  if (!status.ok()) return Failure(err, o.file, status);
  // Every name is checked before anything is written.
  for (size_t i = 0; i < view.header.entries.size(); ++i) {
    const ssi::PayloadEntry& e = view.header.entries[i];
    if (!e.IsEmpty() && !ssi::IsPlainFileName(e.name))
      return Failure(
          err, o.file,
          Status::Fail("entry " + std::to_string(i) + ": the name \"" + ShownName(e.name) +
                       "\" is not a plain file name; nothing extracted"));
  }
  int result = kExitOk;
  std::set<std::string> written;
  for (size_t i = 0; i < view.header.entries.size(); ++i) {
    const ssi::PayloadEntry& e = view.header.entries[i];
    if (e.IsEmpty()) continue;
    Bytes content;
    Status entry = EntryContent(image, e, content);
    if (entry.ok()) entry = WriteInto(o.directory, e.name, content, written);
    if (!entry.ok()) {
      err << "ssbuild: " << Printable(o.file) << ": entry " << i << " (" << ShownName(e.name)
          << "): " << Printable(entry.text()) << "\n";
      result = kExitFailed;
      continue;
    }
    out << ShownName(e.name) << " (" << content.size() << " bytes)\n";
  }
  return result;
}

int ExtractDataFile(const InspectOptions& o, const Bytes& image, std::ostream& out,
                    std::ostream& err) {
  DataFileView view;
  const Status status = ReadDataFile(image, view);
  if (!status.ok()) return Failure(err, o.file, status);
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const std::string& name = view.entries[i - 1].name;
    if (!name.empty() && !IsCopyEntry(view, i) && !ssi::IsPlainFileName(ssi::FileNamePart(name)))
      return Failure(err, o.file,
                     Status::Fail("chunk " + std::to_string(i) + ": the name \"" + ShownName(name) +
                                  "\" has no plain file-name part; nothing extracted"));
  }
  int result = kExitOk;
  std::set<std::string> written;
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const ssi::ChunkEntry& entry = view.entries[i - 1];
    if (entry.name.empty()) continue;
    if (IsCopyEntry(view, i)) {
      out << ShownName(entry.name) << " (copy, not written)\n";
      continue;
    }
    ssi::ChunkHeader header;
    Bytes content;
    Status chunk = ChunkContent(image, entry, header, content);
    if (chunk.ok() && header.expandedSize > 0)
      chunk = WriteInto(o.directory, ssi::FileNamePart(entry.name), content, written);
    if (!chunk.ok()) {
      err << "ssbuild: " << Printable(o.file) << ": chunk " << i << " (" << ShownName(entry.name)
          << "): " << Printable(chunk.text()) << "\n";
      result = kExitFailed;
      continue;
    }
    out << ShownName(ssi::FileNamePart(entry.name)) << " (" << content.size() << " bytes"
        << (header.expandedSize > 0 ? "" : ", empty, not written") << ")\n";
  }
  return result;
}

// Writes `problems` as "ssbuild: FILE: problem" lines; returns the exit code.
int ReportProblems(std::ostream& err, const std::string& file,
                   const std::vector<std::string>& problems) {
  // A problem may quote a name from the file: escaped, like every name shown.
  for (const std::string& p : problems)
    err << "ssbuild: " << Printable(file) << ": " << Printable(p) << "\n";
  return problems.empty() ? kExitOk : kExitFailed;
}

}  // namespace

int ListCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  InspectOptions o;
  ParseInspectOptions(args, "list", {"--json"}, o);
  if (args.Failed()) return UsageFailure(err, args.Error());
  Bytes image;
  FileType type = FileType::kAuto;
  AppendedSignature signature;
  if (!Load(o, image, type, err, &signature)) return kExitFailed;
  if (type == FileType::kInstaller) {
    InstallerView view;
    const Status status = ReadInstaller(image, o.payloadOffset, view);
    if (!status.ok()) return Failure(err, o.file, status);
    if (signature.present && !o.json)
      out << "Authenticode signature: " << signature.size << " bytes at " << signature.offset
          << " (not part of the installer below)\n";
    if (o.json)
      PrintInstallerJson(out, view, image.size());
    else
      PrintInstallerListing(out, view, image.size());
    return kExitOk;
  }
  DataFileView view;
  const Status status = ReadDataFile(image, view);
  if (!status.ok()) return Failure(err, o.file, status);
  if (o.json)
    PrintDataFileJson(out, image, view);
  else
    PrintDataFileListing(out, image, view);
  return kExitOk;
}

int VerifyCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  InspectOptions o;
  ParseInspectOptions(args, "verify", {"--allow-incomplete"}, o);
  if (args.Failed()) return UsageFailure(err, args.Error());
  Bytes image;
  FileType type = FileType::kAuto;
  if (!Load(o, image, type, err)) return kExitFailed;
  std::vector<std::string> problems;
  if (type == FileType::kInstaller) {
    InstallerView view;
    const Status status = ReadInstaller(image, o.payloadOffset, view);
    if (!status.ok()) return Failure(err, o.file, status);
    VerifyOptions options;
    options.allowIncomplete = o.allowIncomplete;
    problems = VerifyInstaller(image, view, options);
  } else {
    problems = VerifyDataFile(image);
  }
  if (problems.empty()) {
    out << Printable(o.file) << ": ok ("
        << (type == FileType::kInstaller ? "installer" : "data file") << ")\n";
    return kExitOk;
  }
  return ReportProblems(err, o.file, problems);
}

int ExtractCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  InspectOptions o;
  ParseInspectOptions(args, "extract", {"-C"}, o);
  if (!args.Failed() && o.directory.empty()) args.Fail("extract needs -C DIR");
  if (args.Failed()) return UsageFailure(err, args.Error());
  Bytes image;
  FileType type = FileType::kAuto;
  if (!Load(o, image, type, err)) return kExitFailed;
  std::error_code ec;
  std::filesystem::create_directories(FsPath(o.directory), ec);
  if (ec) {
    err << "ssbuild: " << Printable(o.directory) << ": cannot create: " << ec.message() << "\n";
    return kExitFailed;
  }
  return type == FileType::kInstaller ? ExtractInstaller(o, image, out, err)
                                      : ExtractDataFile(o, image, out, err);
}

}  // namespace ssbuild
