#include "data_file_reader.h"
// placeholder: to be written
namespace ssi {
ResultCode DataFileReader::OpenDataFile(InstallerUi&, const std::string&, bool) { return rc::kUnspecified; }
ResultCode DataFileReader::ExtractChunk(InstallerUi&, const std::string&, int32_t, bool, uint8_t& kindOut,
                                        const SaverIni*, int32_t&) { kindOut = 0; return rc::kUnspecified; }
ResultCode DataFileReader::CloseDataFile(InstallerUi&) { return rc::kOk; }
}  // namespace ssi
