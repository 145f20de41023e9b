#pragma once
// The interval of the window's pause timer: one second in the shipped stub
// (release_build.cpp); a test build takes it from the environment
// (test_build.cpp).
#include <windows.h>

namespace ssi {

UINT PauseIntervalMs();

}  // namespace ssi
