#include "error_box.h"

#include "messages.h"
#include "system_text.h"

namespace ssi {

void ShowInstallError(InstallerUi& ui, ResultCode code, const std::string& fileName) {
  ui.ShowErrorBox(msg::InstallErrorText(code, fileName, SystemErrorText(code)));
}

void ShowErrorWithSystemText(InstallerUi& ui, ResultCode code, const std::string& text) {
  ui.ShowErrorBox(msg::WithSystemText(text, SystemErrorText(code)));
}

DWORD ReportLastError(InstallerUi& ui, bool show) {
  const DWORD value = GetLastError();
  if (show) {
    // Values above INT32_MAX are HRESULT-style; the system text lookup treats
    // them as "no text", which is what the box then shows.
    ui.ShowErrorBox(msg::LastErrorText(value, SystemErrorText(static_cast<ResultCode>(value))));
  }
  return value;
}

}  // namespace ssi
