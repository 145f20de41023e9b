#include "activation.h"
// placeholder: to be written
namespace ssi {
ResultCode ActivateScreenSaver(Installer&) { return rc::kUnspecified; }
void OpenDisplayProperties(Installer&) {}
void CloseDisplayProperties() {}
void OpenReadMe(Installer&) {}
ResultCode WriteUninstallEntry(Installer&) { return rc::kOk; }
void CleanUpFailedInstall(Installer&) {}
}  // namespace ssi
