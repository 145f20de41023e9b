#include "settings_file.h"

#include <windows.h>

#include "data_file_reader.h"
#include "error_box.h"
#include "file_stream.h"
#include "messages.h"
#include "path_rules.h"

namespace ssi {
namespace {

constexpr const char* kPreviewMovieName = "installer.scf";
constexpr const char* kSettingsFileName = "saver.dat";

bool IsCopyEntry(const ChunkEntry& entry) { return entry.kind == kChunkKindCopy; }

// Every name the chunks would write, checked before the first chunk is
// written, so that a damaged data file puts nothing outside SaverDir: an
// extracted chunk keeps only its file-name part, a copy keeps its whole
// name, so that must stay inside, and so must the file it copies. An empty
// first name makes the copy's source SaverDir itself, which no copy can
// read: that copy fails as any other, without a box.
ResultCode CheckChunkNames(Installer& in, int32_t count, const std::string& firstName) {
  for (int32_t i = 1; i <= count; ++i) {
    const ChunkEntry& entry = DataFileOf(in).Slot(i);
    if (entry.name.empty()) continue;
    const std::string* bad = nullptr;
    if (!IsCopyEntry(entry)) {
      if (!IsPlainFileName(FileNamePart(entry.name))) bad = &entry.name;
    } else if (!IsContainedRelativePath(entry.name)) {
      bad = &entry.name;
    } else if (i > 1 && !firstName.empty() && !IsContainedRelativePath(firstName)) {
      bad = &firstName;
    }
    if (bad) {
      in.ui.ShowErrorBox(msg::BadChunkNameText(*bad));
      return rc::kUnspecified;
    }
  }
  return rc::kOk;
}

// Marks the first chunk's file for backup, keeping its other attributes. A
// file that is missing (its chunk failed or was empty) or a name that would
// point outside SaverDir is left alone.
void MarkFirstChunkForArchive(const std::string& saverDir, const std::string& firstName) {
  if (!firstName.empty() && !IsContainedRelativePath(firstName)) return;
  const std::string path = saverDir + firstName;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_ARCHIVE);
}

}  // namespace

ResultCode ReadSettingsRecord(Installer& in) {
  const std::string& path = in.paths.dataFilePath;
  FileStream file;
  ResultCode result = file.Open(path, FileStream::Mode::kRead);
  if (result == rc::kOk) {
    result = file.Read(in.settings.bytes.data(), static_cast<uint32_t>(kSettingsRecordSize));
  }
  if (result == rc::kOk) result = file.Close();
  if (result != rc::kOk) ShowInstallError(in.ui, result, path);
  return result;
}

ResultCode ExpandDataFile(Installer& in) {
  DataFileReader& reader = DataFileOf(in);
  const std::string& saverDir = in.paths.saverDir;
  ResultCode result = reader.OpenDataFile(in.ui, in.paths.dataFilePath, false);

  // The install's own record bounds the loop; it is not the reader's when the
  // reader was already open on another file.
  const int32_t count = in.settings.ChunkCount();
  if (result == rc::kOk && (count < 0 || count > kMaxChunkCount)) {
    in.ui.ShowErrorBox(msg::BadChunkCountText(count));
    result = rc::kUnspecified;
  }
  if (in.settings.FirstChunkKind() == kChunkKindCopy) reader.Slot(1).kind = kChunkKindCopy;
  const std::string firstName = reader.Slot(1).name;
  if (result == rc::kOk) result = CheckChunkNames(in, count, firstName);

  const SaverIni* ini = in.saverIni ? &*in.saverIni : nullptr;
  for (int32_t i = 1; i <= count && result == rc::kOk; ++i) {
    const ChunkEntry& entry = reader.Slot(i);
    if (entry.name.empty()) continue;
    if (IsCopyEntry(entry)) {
      const std::string source = saverDir + (i == 1 ? kPreviewMovieName : firstName);
      const std::string target = saverDir + entry.name;
      if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) result = rc::kUnspecified;
    } else {
      uint8_t kind = 0;
      result = reader.ExtractChunk(in.ui, saverDir, i, true, kind, ini, in.fileCounter);
    }
  }

  if (result == rc::kOk) result = reader.CloseDataFile(in.ui);
  MarkFirstChunkForArchive(saverDir, firstName);
  return result;
}

ResultCode WriteSettingsFile(Installer& in) {
  in.ui.ShowStatus(msg::kWritingSettings);
  const std::string path = in.paths.saverDir + kSettingsFileName;
  FileStream file;
  ResultCode result = file.Open(path, FileStream::Mode::kCreate);
  if (result == rc::kOk) {
    result = file.Write(in.settings.bytes.data(), static_cast<uint32_t>(kSettingsRecordSize));
  }
  if (result == rc::kOk) result = file.Close();
  if (result != rc::kOk) ShowInstallError(in.ui, result, path);
  return result;
}

}  // namespace ssi
