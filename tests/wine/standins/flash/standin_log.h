#pragma once
// The stand-in control's record of its calls and its test settings.
#include <windows.h>

#include <string>

namespace ssi::standin {

// Appends one line to the log; opened and closed per line so that the
// installer stand-in and the control may both write.
void Log(const std::string& line);
// A BSTR as ANSI text for the log (a null BSTR is empty).
std::string Narrow(BSTR text);
// True when the settings name `member` in the list of failing members.
bool ShouldFail(const char* member);
// Counts FailCreations down by one; true when this creation is to be refused.
bool RefuseCreation();
std::wstring InitialSAlign();
// A DWORD setting; 0 when it is not set.
DWORD ReadNumber(const char* name);

}  // namespace ssi::standin
