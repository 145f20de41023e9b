#include "manifest.h"
// placeholder: to be written
namespace ssi {
ResultCode SaverIni::WriteString(const std::string&, const std::string&, const std::string&) const { return rc::kOk; }
ResultCode RecordInManifest(const SaverIni&, int32_t& fileCounter, const std::string&) { ++fileCounter; return rc::kOk; }
}  // namespace ssi
