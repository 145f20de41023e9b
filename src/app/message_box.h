#pragma once
// The installer's modal message box: one button, "&Abort", whose answer
// nobody reads.
#include <windows.h>

#include <string>

namespace ssi {

// `owner` may be null. `icon` is MB_ICONERROR or MB_ICONINFORMATION.
void ShowAbortBox(HWND owner, const std::string& text, const std::string& title, UINT icon);

}  // namespace ssi
