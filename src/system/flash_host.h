#pragma once
// Hosting the Shockwave Flash control as an ActiveX control with plain COM:
// our own client site, in-place site and frame, the control created as a COM
// object, activated in place inside a parent window, and its members reached
// through IDispatch (properties, by dispatch id) and IShockwaveFlash (methods).
// Every function returns the control's HRESULT; a failed one is a failure of
// that step. The control lives in a MoviePlayerRef; destroying it never fails.
#include <windows.h>

#include <string>

#include "com_ptr.h"
#include "installer.h"

namespace ssi {

// Creates an instance of the control and lets it go at once.
bool ProbeFlashControl();

// Creates the control with `owner` as the window its site answers with and
// stores it in `player` (left untouched on failure).
HRESULT CreateFlashControl(HWND owner, MoviePlayerRef& player);
// Bounds in client pixels of the parent, used when the control is activated
// (or at once when it already is).
HRESULT PlaceFlashControl(FlashControl& control, const RECT& bounds);
// Activates the control in place: its window is created inside `parent`.
HRESULT SetFlashParent(FlashControl& control, HWND parent);

HRESULT SetFlashMovie(FlashControl& control, const std::string& path);   // `Movie`
HRESULT ReadFlashSAlign(FlashControl& control, Bstr& value);             // `SAlign`
HRESULT SetFlashMenu(FlashControl& control, bool shown);                 // `Menu`
HRESULT SetFlashVariable(FlashControl& control, BSTR name, BSTR value);  // `SetVariable`
HRESULT StopFlashPlay(FlashControl& control);                            // `StopPlay`

}  // namespace ssi
