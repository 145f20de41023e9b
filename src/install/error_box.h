#pragma once
// The texts of failures, shown through the window's error box.
#include <windows.h>

#include <string>

#include "installer_ui.h"
#include "result_codes.h"

namespace ssi {

void ShowInstallError(InstallerUi& ui, ResultCode code, const std::string& fileName);
void ShowErrorWithSystemText(InstallerUi& ui, ResultCode code, const std::string& text);
// The system's last-error value; shown in the error box only when asked.
DWORD ReportLastError(InstallerUi& ui, bool show);

}  // namespace ssi
