#include "work_paths.h"
// placeholder: to be written
namespace ssi {
void ResolveWorkPaths(Installer&) {}
ResultCode CopySelfToTemp(Installer&) { return rc::kUnspecified; }
void PrepareSaverDir(Installer&) {}
}  // namespace ssi
