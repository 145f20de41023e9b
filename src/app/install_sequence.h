#pragma once
// The order of the install steps, from the Install button and silently.
#include "installer.h"

namespace ssi {

void InstallInteractively(Installer& in);
void InstallSilently(Installer& in);

}  // namespace ssi
