#include "payload_reader.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>

#include "compressor.h"
#include "error_box.h"
#include "file_replace.h"
#include "messages.h"
#include "path_rules.h"
#include "payload_offset.h"

namespace ssi {
namespace {

// What writing an entry's bytes came to. `complete` marks a destination that
// holds the whole entry, which a later failure must remove again.
struct WriteOutcome {
  ResultCode result = rc::kOk;
  bool complete = false;
};

// The one bounds rule for an entry's bytes, at start and at install.
bool LiesInside(const PayloadEntry& e, int64_t fileSize) {
  return e.startOffset >= 0 && e.startOffset + e.Length() <= fileSize;
}

// Every entry the installer may write lies inside the file. Entry 0, the stub
// itself, is never read.
bool EntriesLieInside(const PayloadHeader& header, int64_t fileSize) {
  for (size_t i = entry::kCompressionLibrary; i < kPayloadEntryCount; ++i) {
    const PayloadEntry& e = header.entries[i];
    if (!e.IsEmpty() && !LiesInside(e, fileSize)) return false;
  }
  return true;
}

// The temporary copy through the handle that has held it since it was made,
// never whatever stands at its path; a copy made without one (by a test) by
// its path.
ResultCode OpenCopy(const Installer& in, const std::string& path, FileStream& stream) {
  if (in.tempCopyGuard && path == in.paths.tempCopyPath)
    return stream.ReadThrough(in.tempCopyGuard.get());
  return stream.Open(path, FileStream::Mode::kRead);
}

ResultCode ReadEntryBytes(FileStream& stream, uint8_t* buffer, uint32_t length) {
  const ResultCode result = stream.Read(buffer, length);
  return result == rc::kShortRead ? rc::kEntryShort : result;
}

// The expander's own result says nothing reliable; the file it left does.
ResultCode CheckExpandedFile(const std::string& path, int32_t expandedSize) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!FileExists(path) || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return rc::kExpandedMissing;
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return expandedSize >= 0 && size == static_cast<uint64_t>(expandedSize) ? rc::kOk
                                                                          : rc::kSizeMismatch;
}

WriteOutcome WriteCompressed(Installer& in, FileStream& stream, const PayloadEntry& e,
                             const std::string& destination, uint8_t* buffer, uint32_t length) {
  WriteOutcome out;
  ResultCode expandResult = rc::kOk;
  {
    TCompressor expander(in.ui);
    if (!expander.Available()) return {rc::kNoCompressor, false};
    out.result = ReadEntryBytes(stream, buffer, length);
    if (out.result != rc::kOk) return out;
    expandResult = expander.ExpandToFile(destination, buffer, static_cast<int32_t>(length),
                                         static_cast<uint32_t>(std::max(e.expandedSize, 0)));
  }
  // Output cut off at the recorded size may still have that size.
  out.result = expandResult == rc::kSizeMismatch ? expandResult
                                                 : CheckExpandedFile(destination, e.expandedSize);
  // No file at all because the expander could not create it (or had no
  // memory for the block): name the cause before the missing file is
  // reported, as the expander's own failures are.
  if (out.result == rc::kExpandedMissing && expandResult > 0)
    ShowInstallError(in.ui, expandResult, destination);
  out.complete = out.result == rc::kOk;
  return out;
}

WriteOutcome WriteStored(FileStream& stream, const std::string& destination, uint8_t* buffer,
                         uint32_t length) {
  WriteOutcome out;
  out.result = ReadEntryBytes(stream, buffer, length);
  if (out.result != rc::kOk) return out;
  FileStream file;
  out.result = file.Open(destination, FileStream::Mode::kCreate);
  if (out.result != rc::kOk) return out;
  out.result = file.Write(buffer, length);
  if (out.result == rc::kShortWrite) out.result = rc::kEntryShort;
  const ResultCode closed = file.Close();
  if (out.result == rc::kOk) out.result = closed;
  out.complete = out.result == rc::kOk;
  return out;
}

// The entry's bytes, read whole into one buffer, written or expanded.
WriteOutcome WriteEntryFile(Installer& in, FileStream& stream, const PayloadEntry& e,
                            const std::string& destination) {
  const int64_t length = e.Length();
  if (length <= 0) return {rc::kNoBuffer, false};
  // The offsets are trusted by nobody: an entry that reaches past the file
  // would otherwise make us take a buffer of any size it names.
  int64_t fileSize = 0;
  const ResultCode sized = stream.Size(fileSize);
  if (sized != rc::kOk) return {sized, false};
  if (!LiesInside(e, fileSize)) return {rc::kEntryShort, false};
  // The position may have moved since the entry's seek: other readers of the
  // copy share it.
  const ResultCode placed = stream.Seek(e.startOffset);
  if (placed != rc::kOk) return {placed, false};
  const auto size = static_cast<uint32_t>(length);
  // No exception may cross the window procedure: a buffer that cannot be had
  // is reported with the entry like any other failure.
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
  if (!buffer) return {ERROR_NOT_ENOUGH_MEMORY, false};
  if (e.compressed != 0) return WriteCompressed(in, stream, e, destination, buffer.get(), size);
  return WriteStored(stream, destination, buffer.get(), size);
}

// Refuses an entry that could write outside WindowsDir and SaverDir, before
// anything is deleted or written. The refusal is its own report.
bool RefuseUnsafeEntry(Installer& in, int index, const PayloadEntry& e) {
  if (!IsPlainFileName(e.name)) {
    in.ui.ShowErrorBox(msg::BadEntryNameText(index, e.name));
    return true;
  }
  if (!EntryDestination(e.kind, e.name, in.paths.windowsDir, in.paths.saverDir)) {
    in.ui.ShowErrorBox(msg::BadEntryKindText(index, e.name, e.kind));
    return true;
  }
  return false;
}

ResultCode ExtractFixedEntry(Installer& in, int index) {
  if (in.header.entries[static_cast<size_t>(index)].IsEmpty()) return rc::kUnspecified;
  FileStream stream;
  const ResultCode opened = OpenCopy(in, in.paths.tempCopyPath, stream);
  if (opened != rc::kOk) {
    ShowInstallError(in.ui, opened, in.paths.saverDir);
    return opened;
  }
  return ExtractPayloadEntry(in, stream, index, false, true);
}

}  // namespace

ResultCode ReadPayloadHeader(Installer& in) {
  const std::string& copyPath = in.paths.tempCopyPath;
  FileStream stream;
  ResultCode result = OpenCopy(in, copyPath, stream);
  if (result != rc::kOk) {
    ShowInstallError(in.ui, result, in.paths.installerPath);
    return result;
  }
  // A stub that was never given a payload has nothing to read.
  const int64_t offset = PayloadOffset();
  uint8_t bytes[kPayloadHeaderSize];
  result = offset > 0 ? stream.Seek(offset) : rc::kShortRead;
  if (result == rc::kOk) result = stream.Read(bytes, kPayloadHeaderSize);
  if (result == rc::kShortRead) {
    ShowInstallError(in.ui, rc::kHeaderShort, copyPath);
    return rc::kHeaderShort;
  }
  if (result != rc::kOk) {
    ShowInstallError(in.ui, result, in.paths.installerPath);
    return result;
  }
  PayloadHeader header = ParsePayloadHeader(bytes);
  // The name becomes a folder under the Windows directory; a header that
  // names no valid folder is treated as unread.
  const std::string saverName = header.SaverName();
  if (!IsValidSaverName(saverName)) {
    in.ui.ShowErrorBox(msg::BadSaverNameText(saverName));
    return rc::kUnspecified;
  }
  // A download cut short, or a header that points past the end, is refused
  // now, before the library or any other file is written, and not half-way
  // through the install after older files were deleted. It counts as unread.
  int64_t fileSize = 0;
  result = stream.Size(fileSize);
  if (result != rc::kOk) {
    ShowInstallError(in.ui, result, in.paths.installerPath);
    return result;
  }
  if (!EntriesLieInside(header, fileSize)) {
    ShowInstallError(in.ui, rc::kHeaderShort, copyPath);
    // Only the display mode is kept, so that a silent installer stays
    // without a window.
    in.header.displayMode = header.displayMode;
    return rc::kHeaderShort;
  }
  in.header = std::move(header);
  in.headerRead = true;
  // The compression library goes in place before anything compressed is
  // written. It is never recorded: the manifest does not exist yet.
  result = ExtractPayloadEntry(in, stream, entry::kCompressionLibrary, false, false);
  if (result != rc::kOk) ShowInstallError(in.ui, result, copyPath);
  return result;
}

ResultCode ExtractPayloadEntry(Installer& in, FileStream& stream, int index, bool showProgress,
                               bool addToManifest) {
  if (showProgress) in.ui.ShowStatus(msg::kWritingFiles);
  const bool known = index >= 0 && index < static_cast<int>(kPayloadEntryCount);
  const PayloadEntry e = known ? in.header.entries[static_cast<size_t>(index)] : PayloadEntry();
  ResultCode result = rc::kUnspecified;
  std::string destination;
  WriteOutcome written;
  bool fresh = false;  // nothing stood at the destination
  if (!e.IsEmpty()) {
    if (RefuseUnsafeEntry(in, index, e)) return rc::kUnspecified;
    // A negative start is refused by the bounds check before anything is read.
    result = e.startOffset >= 0 ? stream.Seek(e.startOffset) : rc::kOk;
    destination = *EntryDestination(e.kind, e.name, in.paths.windowsDir, in.paths.saverDir);
    // A stream that cannot even be positioned stops the entry before the old
    // file is touched or the progress bar moves.
    if (result == rc::kOk) {
      fresh = !FileExists(destination);
      if (showProgress) in.ui.StepProgress();
      // A library in use stays silently; the install can live with the old one.
      result = PathExtension(destination) == ".dll" ? DeleteFileOnce(destination)
                                                    : DeleteFileRetrying(in, destination);
    }
    if (result == rc::kOk) {
      written = WriteEntryFile(in, stream, e, destination);
      result = written.result;
    }
  }
  if (result == rc::kSaverBusy) return result;    // DeleteFileRetrying has said so
  if (result == rc::kFileBusy) result = rc::kOk;  // the old file stays and counts as written
  if (result != rc::kOk) ShowInstallError(in.ui, result, destination);
  if (addToManifest && result == rc::kOk && in.saverIni) {
    result = RecordInManifest(*in.saverIni, in.fileCounter, destination);
    if (result != rc::kOk) ShowInstallError(in.ui, result, "saverIni");
  }
  // An incomplete file is left for the user to see; a complete one that the
  // manifest does not know of is removed.
  if (result != rc::kOk && written.complete) DeleteFileOnce(destination);
  // Whole or not, a file this run made goes again when nothing is installed.
  if (fresh && FileExists(destination)) in.newFiles += destination + '\n';
  return result;
}

ResultCode ExtractPreview(Installer& in) {
  PayloadEntry& preview = in.header.entries[entry::kPreview];
  if (preview.IsEmpty()) return rc::kUnspecified;
  if (in.header.displayMode == static_cast<uint8_t>(DisplayMode::kBitmap))
    preview.name = PreviewBitmapName(preview.name);
  return ExtractFixedEntry(in, entry::kPreview);
}

ResultCode ExtractReadMe(Installer& in) { return ExtractFixedEntry(in, entry::kReadMe); }

ResultCode ExtractLicense(Installer& in) { return ExtractFixedEntry(in, entry::kLicence); }

ResultCode ExtractFlashInstaller(Installer& in) {
  return ExtractFixedEntry(in, entry::kFlashInstaller);
}

ResultCode ExtractInstallFiles(Installer& in, const std::string& path) {
  const int first = in.readMeReady ? entry::kReadMe : entry::kSaverProgram;
  FileStream stream;
  ResultCode result = OpenCopy(in, path, stream);
  if (result != rc::kOk) {
    ShowInstallError(in.ui, result, path);
    return result;
  }
  // The temporary copy is the first file the install phase records.
  if (in.saverIni) {
    result = RecordInManifest(*in.saverIni, in.fileCounter, path);
    if (result != rc::kOk) {
      ShowInstallError(in.ui, result, in.paths.saverIniPath);
      return result;
    }
  }
  for (int index = first; index < static_cast<int>(kPayloadEntryCount) && result == rc::kOk;
       ++index)
    result = ExtractPayloadEntry(in, stream, index, true, true);
  return result;
}

}  // namespace ssi
