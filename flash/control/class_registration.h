#pragma once
// The control's class, ProgID and versioned ProgID in HKLM\Software\Classes
// (never the user's classes): what DllRegisterServer and flashax.exe write.
#include <string>

namespace flashctl {

bool RegisterControlClass(const std::string& controlPath);
void UnregisterControlClass();
// The file registered as the class's in-process server, or "" when the class
// is not registered for the whole machine.
std::string RegisteredControlPath();

}  // namespace flashctl
