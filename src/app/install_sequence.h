#pragma once
// The order of the install steps, from the Install button and silently.
#include "installer.h"
#include "result_codes.h"

namespace ssi {

// Both give the run's result: 0 when the screen saver was installed.
ResultCode InstallInteractively(Installer& in);
ResultCode InstallSilently(Installer& in);

// The Flash check that the set-up and the silent install run: true when the
// control can be created in the end; `result` takes the code of the steps.
bool RunFlashCheck(Installer& in, ResultCode& result);

}  // namespace ssi
