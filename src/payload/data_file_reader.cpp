#include "data_file_reader.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>

#include "compressor.h"
#include "error_box.h"
#include "file_replace.h"
#include "installer_ui.h"
#include "manifest.h"
#include "messages.h"
#include "path_rules.h"
#include "system_text.h"
#include "win_handles.h"

namespace ssi {
namespace {

constexpr ResultCode kOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;

void ShowChunkReadError(InstallerUi& ui, ResultCode code) {
  ui.ShowErrorBox(msg::ChunkReadErrorText(SystemErrorText(code)));
}

// A chunk buffer, or none when the memory cannot be had: the shortage is
// reported with the chunk's name instead of escaping as an exception.
std::unique_ptr<uint8_t[]> TakeBuffer(int32_t size) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
}

// The size of the file at path, or nothing when it cannot be found.
bool FindFileSize(const std::string& path, int64_t& size) {
  WIN32_FIND_DATAA data;
  FindHandle find(FindFirstFileA(path.c_str(), &data));
  if (!find) return false;
  size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace

void DataFileReaderDeleter::operator()(DataFileReader* reader) const { delete reader; }

DataFileReader& DataFileOf(Installer& in) {
  if (!in.dataFile) in.dataFile.reset(new DataFileReader);
  return *in.dataFile;
}

// A count the directory cannot hold was refused when the file was opened, and
// leaves no entry to extract.
int32_t DataFileReader::EntryCount() const {
  const int32_t count = settings_.ChunkCount();
  return count < 0 || count > kMaxChunkCount ? 0 : count;
}

ResultCode DataFileReader::OpenDataFile(InstallerUi& ui, const std::string& path,
                                        bool reportErrors) {
  if (dataFileOpen_) {
    ui.ShowInformationBox(msg::kDataFileInUse);
    return rc::kOk;
  }
  ResultCode result = file_.Open(path, FileStream::Mode::kRead);
  if (result == rc::kOk) {
    result = file_.Read(settings_.bytes.data(), static_cast<uint32_t>(kSettingsRecordSize));
    if (result == rc::kOk) dataFileOpen_ = true;
  }
  if (result == rc::kOk) {
    directory_.fill(ChunkEntry{});
    const int32_t count = settings_.ChunkCount();
    // The directory has room for 108 entries; a larger (or negative) count
    // marks a damaged file, refused before a single entry is read. Said even
    // when no report was asked for: the install, which asks for none, would
    // otherwise stop without naming the cause.
    if (count < 0 || count > kMaxChunkCount) {
      ui.ShowErrorBox(msg::BadChunkCountText(count));
      return rc::kUnspecified;
    }
    uint8_t raw[kChunkEntrySize];
    for (int32_t i = 1; i <= count && result == rc::kOk; ++i) {
      result = file_.Read(raw, static_cast<uint32_t>(kChunkEntrySize));
      if (result == rc::kOk) Slot(i) = ParseChunkEntry(raw);
    }
  }
  if (result != rc::kOk && reportErrors) ui.ShowErrorBox(msg::DataFileOpenErrorText(result));
  return result;
}

// The chunk's file: extracts it, and records in the manifest the folder it
// creates and the chunk's destination, whatever the outcome.
ResultCode DataFileReader::ExtractChunk(InstallerUi& ui, const std::string& destDir, int32_t index,
                                        bool skipKind, uint8_t& kindOut, const SaverIni* ini,
                                        int32_t& fileCounter) {
  kindOut = 0;
  ResultCode result = rc::kOk;
  std::string destination;
  ChunkHeader header;
  int64_t dataStart = 0;

  if (index < 1 || index > EntryCount()) {
    result = rc::kBadChunkIndex;
  } else if (!dataFileOpen_) {
    result = rc::kDataFileNotOpen;
  } else {
    const ChunkEntry& entry = Slot(index);
    const std::string fileName = FileNamePart(entry.name);
    if (!IsPlainFileName(fileName)) {
      ui.ShowErrorBox(msg::BadChunkNameText(entry.name));
      result = rc::kUnspecified;
    } else {
      uint8_t raw[kChunkHeaderSize];
      result = file_.Seek(entry.chunkOffset);
      if (result == rc::kOk) result = file_.Read(raw, static_cast<uint32_t>(kChunkHeaderSize));
      if (result == rc::kOk) {
        header = ParseChunkHeader(raw);
        dataStart = int64_t{entry.chunkOffset} + static_cast<int64_t>(kChunkHeaderSize);
        destination = destDir + fileName;
      } else {
        ShowChunkReadError(ui, result);
      }
    }
  }

  if (result == rc::kOk && header.expandedSize != 0) {
    result = WriteChunkFile(ui, header, dataStart, destination, ini, fileCounter);
  }

  if (ini) {
    const ResultCode recorded = RecordInManifest(*ini, fileCounter, destination);
    if (recorded != rc::kOk) result = recorded;
  }
  if (!skipKind && result == rc::kOk) kindOut = header.kind;
  return result;
}

// Writes the data behind a chunk's header to destination. A file left behind
// by a failure is deleted again.
ResultCode DataFileReader::WriteChunkFile(InstallerUi& ui, const ChunkHeader& header,
                                          int64_t dataStart, const std::string& destination,
                                          const SaverIni* ini, int32_t& fileCounter) {
  ResultCode result = rc::kOk;
  const std::string folder = FolderPart(destination);
  if (!FolderExists(folder)) {
    const bool created = CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
    const ResultCode createError =
        created ? rc::kOk : static_cast<ResultCode>(ReportLastError(ui, false));
    if (ini) {
      const ResultCode recorded = RecordInManifest(*ini, fileCounter, folder);
      if (recorded != rc::kOk) result = recorded;
    }
    if (!created) result = createError;
  }

  bool made = false;
  if (header.compressed != 0) {
    const ResultCode expanded = ExpandChunk(ui, header, dataStart, destination, made);
    if (expanded != rc::kOk) result = expanded;
  } else {
    const ResultCode stored = CopyStoredChunk(ui, header, dataStart, destination, made);
    if (stored != rc::kOk) result = stored;
  }

  if (result != rc::kOk && made) DeleteFileA(destination.c_str());
  return result;
}

// 100 (a short read) when `size` bytes from dataStart would run past the end
// of the data file: a hostile size never gets a buffer of its own.
ResultCode DataFileReader::CheckDataFits(int64_t dataStart, int32_t size) const {
  int64_t fileSize = 0;
  const ResultCode result = file_.Size(fileSize);
  if (result != rc::kOk) return result;
  return size > fileSize - dataStart ? rc::kShortRead : rc::kOk;
}

ResultCode DataFileReader::ExpandChunk(InstallerUi& ui, const ChunkHeader& header,
                                       int64_t dataStart, const std::string& destination,
                                       bool& made) {
  if (header.storedSize <= 0) return rc::kNoBuffer;
  ResultCode result = CheckDataFits(dataStart, header.storedSize);
  if (result != rc::kOk) {
    ShowChunkReadError(ui, result);
    return result;
  }
  std::unique_ptr<uint8_t[]> buffer = TakeBuffer(header.storedSize);
  if (!buffer) {
    ShowInstallError(ui, kOutOfMemory, destination);
    return kOutOfMemory;
  }
  result = file_.Read(buffer.get(), static_cast<uint32_t>(header.storedSize));
  if (result != rc::kOk) {
    ShowChunkReadError(ui, result);
    return result;
  }

  TCompressor expander(ui);
  if (!expander.Available()) return rc::kNoCompressor;
  const ResultCode expandResult =
      expander.ExpandToFile(destination, buffer.get(), header.storedSize,
                            static_cast<uint32_t>(std::max<int32_t>(header.expandedSize, 0)));
  if (expandResult == rc::kSizeMismatch) {
    // Cut off at the recorded size: the file is ours, and wrong.
    made = true;
    return expandResult;
  }
  if (expandResult != rc::kOk) {
    // The expander could not even create the file (it is busy, or its folder
    // is missing): nothing was written, so a file found there now is an older
    // one that must neither pass the size check nor be deleted. Say so rather
    // than let the install stop without a word.
    ShowInstallError(ui, expandResult, destination);
    return rc::kExpandedMissing;
  }
  int64_t size = 0;
  if (!FindFileSize(destination, size)) return rc::kExpandedMissing;
  made = true;
  return size == header.expandedSize ? rc::kOk : rc::kSizeMismatch;
}

ResultCode DataFileReader::CopyStoredChunk(InstallerUi& ui, const ChunkHeader& header,
                                           int64_t dataStart, const std::string& destination,
                                           bool& made) {
  FileStream out;
  ResultCode result = out.Open(destination, FileStream::Mode::kCreate);
  if (result != rc::kOk) {
    ShowChunkReadError(ui, result);
    return result;
  }
  made = true;
  if (header.expandedSize <= 0) return rc::kNoBuffer;
  result = CheckDataFits(dataStart, header.expandedSize);
  if (result != rc::kOk) {
    ShowChunkReadError(ui, result);
    return result;
  }
  std::unique_ptr<uint8_t[]> buffer = TakeBuffer(header.expandedSize);
  if (!buffer) {
    ShowInstallError(ui, kOutOfMemory, destination);
    return kOutOfMemory;
  }
  const uint32_t size = static_cast<uint32_t>(header.expandedSize);
  result = file_.Read(buffer.get(), size);
  if (result == rc::kOk) result = out.Write(buffer.get(), size);
  if (result == rc::kOk) result = out.Close();
  if (result != rc::kOk) ShowChunkReadError(ui, result);
  return result;
}

ResultCode DataFileReader::CloseDataFile(InstallerUi& ui) {
  if (!dataFileOpen_) return rc::kOk;
  const ResultCode result = file_.Close();
  if (result != rc::kOk) {
    ui.ShowErrorBox(msg::DataFileCloseErrorText(SystemErrorText(result)));
    return result;
  }
  dataFileOpen_ = false;
  return rc::kOk;
}

}  // namespace ssi
