#include "settings_file.h"
// placeholder: to be written
namespace ssi {
ResultCode ReadSettingsRecord(Installer&) { return rc::kUnspecified; }
ResultCode ExpandDataFile(Installer&) { return rc::kUnspecified; }
ResultCode WriteSettingsFile(Installer&) { return rc::kUnspecified; }
}  // namespace ssi
