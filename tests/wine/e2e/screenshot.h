#pragma once
// A window as the screen shows it, saved as a 24-bit BMP file.
#include <windows.h>

#include <string>

namespace ssi::e2e {

bool SaveScreenshot(HWND window, const std::string& path);

}  // namespace ssi::e2e
