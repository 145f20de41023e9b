#include "compressor.h"
// placeholder: to be written
namespace ssi {
TCompressor::TCompressor(InstallerUi& ui) : ui_(ui) {}
TCompressor::~TCompressor() = default;
ResultCode TCompressor::ExpandToFile(const std::string&, const uint8_t*, int32_t) { return rc::kUnspecified; }
}  // namespace ssi
