#pragma once
// The data-file reader: opens the screen saver data file, keeps it open
// across chunk extractions, and holds its own copy of the settings record and
// the chunk directory. One reader exists for the whole program (Installer).
#include <array>
#include <cstdint>
#include <string>

#include "data_file_format.h"
#include "file_stream.h"
#include "installer.h"
#include "result_codes.h"

namespace ssi {

class DataFileReader {
 public:
  ResultCode OpenDataFile(InstallerUi& ui, const std::string& path, bool reportErrors);
  ResultCode ExtractChunk(InstallerUi& ui, const std::string& destDir, int32_t index, bool skipKind,
                          uint8_t& kindOut, const SaverIni* ini, int32_t& fileCounter);
  ResultCode CloseDataFile(InstallerUi& ui);

  bool IsOpen() const { return dataFileOpen_; }
  const SettingsRecord& Settings() const { return settings_; }
  // Slots 0..108; slot 0 is never filled, slots above ChunkCount stay zero.
  const ChunkEntry& Slot(int32_t index) const { return directory_.at(static_cast<size_t>(index)); }
  ChunkEntry& Slot(int32_t index) { return directory_.at(static_cast<size_t>(index)); }

 private:
  int32_t EntryCount() const;
  ResultCode WriteChunkFile(InstallerUi& ui, const ChunkHeader& header, int64_t dataStart,
                            const std::string& destination, const SaverIni* ini,
                            int32_t& fileCounter);
  ResultCode ExpandChunk(InstallerUi& ui, const ChunkHeader& header, int64_t dataStart,
                         const std::string& destination, bool& made);
  ResultCode CopyStoredChunk(InstallerUi& ui, const ChunkHeader& header, int64_t dataStart,
                             const std::string& destination, bool& made);
  ResultCode CheckDataFits(int64_t dataStart, int32_t size) const;

  FileStream file_;
  bool dataFileOpen_ = false;
  SettingsRecord settings_;
  std::array<ChunkEntry, kMaxChunkCount + 1> directory_{};
};

// The installer's one reader, made on first use.
DataFileReader& DataFileOf(Installer& in);

}  // namespace ssi
