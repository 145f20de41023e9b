#pragma once
// saver.ini: the manifest of the folders and files an install writes, kept in
// its section "Files" through the system's private-profile service. No file
// is held open between writes; the installer never reads it back.
#include <cstdint>
#include <string>

#include "result_codes.h"

namespace ssi {

class SaverIni {
 public:
  explicit SaverIni(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }
  // Writes one key; the system's error number when the write is refused.
  ResultCode WriteString(const std::string& section, const std::string& key,
                         const std::string& value) const;

 private:
  std::string path_;
};

// Writes key `fileCounter` (decimal) = `path` into section "Files" and, when
// that succeeded, increases fileCounter by one.
ResultCode RecordInManifest(const SaverIni& ini, int32_t& fileCounter, const std::string& path);

}  // namespace ssi
