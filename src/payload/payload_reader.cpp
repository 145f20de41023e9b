#include "payload_reader.h"
// placeholder: to be written
namespace ssi {
ResultCode ReadPayloadHeader(Installer&) { return rc::kHeaderShort; }
ResultCode ExtractPayloadEntry(Installer&, FileStream&, int, bool, bool) { return rc::kUnspecified; }
ResultCode ExtractPreview(Installer&) { return rc::kUnspecified; }
ResultCode ExtractReadMe(Installer&) { return rc::kUnspecified; }
ResultCode ExtractLicense(Installer&) { return rc::kUnspecified; }
ResultCode ExtractFlashInstaller(Installer&) { return rc::kUnspecified; }
ResultCode ExtractInstallFiles(Installer&, const std::string&) { return rc::kUnspecified; }
}  // namespace ssi
