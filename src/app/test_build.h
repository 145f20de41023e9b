#pragma once
// The seams of a test build (the Wine tests and install-test.exe); the shipped
// stub links release_build.cpp instead and has none of this.

namespace ssi {

// What SetScreenSaverActive calls; tests put a function of their own here to
// exercise the refusal that Wine never gives.
using SetScreenSaverActiveFn = bool (*)();
extern SetScreenSaverActiveFn g_setScreenSaverActive;

}  // namespace ssi
