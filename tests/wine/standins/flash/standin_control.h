#pragma once
// The stand-in Shockwave Flash control: an ActiveX control with a window of
// its own that shows the movie's file name and logs every call it receives.
#include <windows.h>

namespace ssi::standin {

void SetModule(HINSTANCE module);
// Creates a control and returns the asked-for interface of it; refused (and
// logged) while FailCreations counts down.
HRESULT CreateControl(REFIID iid, void** out);

}  // namespace ssi::standin
