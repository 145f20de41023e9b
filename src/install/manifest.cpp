#include "manifest.h"

#include <windows.h>

#include "win_error.h"

namespace ssi {

ResultCode SaverIni::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) const {
  if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()))
    return rc::kOk;
  return LastErrorResult();
}

ResultCode RecordInManifest(const SaverIni& ini, int32_t& fileCounter, const std::string& path) {
  const ResultCode result = ini.WriteString("Files", std::to_string(fileCounter), path);
  if (result == rc::kOk) ++fileCounter;
  return result;
}

}  // namespace ssi
