#include "error_box.h"
// placeholder: to be written
namespace ssi {
void ShowInstallError(InstallerUi&, ResultCode, const std::string&) {}
void ShowErrorWithSystemText(InstallerUi&, ResultCode, const std::string&) {}
DWORD ReportLastError(InstallerUi&, bool) { return GetLastError(); }
}  // namespace ssi
